#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// Our own reader of the version resource of a Windows executable (PE32 and PE32+),
// so that the player's version can be read on any platform. Every offset and size
// in the file is checked before use: a truncated or hostile file gives no version,
// never a read outside the data.
namespace PeVersion {

struct StringTable {
    QString key; // language and code page as eight hexadecimal digits, as in the file
    QList<std::pair<QString, QString>> values;
};

struct Info {
    // From VS_FIXEDFILEINFO, most significant part first.
    bool hasFixed = false;
    std::array<quint16, 4> fileVersion{};
    std::array<quint16, 4> productVersion{};

    // First entry of VarFileInfo\Translation.
    bool hasTranslation = false;
    quint16 language = 0;
    quint16 codePage = 0;

    QList<StringTable> stringTables;

    // "080404B0" for language 0x0804 and code page 0x04B0; empty without a translation.
    QString translationKey() const;
    // The value of `name` in the table `tableKey`; both compared without regard to case,
    // as the platform's query does. Empty optional when there is no such value.
    std::optional<QString> stringValue(const QString& tableKey, const QString& name) const;
};

// Longest value kept, in bytes of UTF-16 (1,024 characters): longer values are cut there.
inline constexpr int kMaxValueBytes = 2048;

// Parses an image held in memory. Empty optional when there is no readable version resource.
std::optional<Info> parse(QByteArrayView image);
// Maps the file read-only and parses it. Empty optional when it cannot be read.
std::optional<Info> readFile(const QString& path);

// "2.1.0.57"
QString versionText(const std::array<quint16, 4>& parts);

} // namespace PeVersion
