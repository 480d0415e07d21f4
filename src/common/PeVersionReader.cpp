#include "PeVersionReader.h"

#include <QFile>
#include <QFileInfo>

namespace PeVersion {
namespace {

// Bounds-checked little-endian access. Offsets are 64-bit so that no sum of two
// 32-bit fields from the file can wrap around.
class Bytes {
public:
    explicit Bytes(QByteArrayView data) : m_data(data) {}
    quint64 size() const { return quint64(m_data.size()); }
    bool has(quint64 offset, quint64 length) const { return offset <= size() && length <= size() - offset; }
    std::optional<quint16> u16(quint64 offset) const {
        if (!has(offset, 2))
            return std::nullopt;
        return quint16(byte(offset) | byte(offset + 1) << 8);
    }
    std::optional<quint32> u32(quint64 offset) const {
        if (!has(offset, 4))
            return std::nullopt;
        return quint32(byte(offset)) | quint32(byte(offset + 1)) << 8 | quint32(byte(offset + 2)) << 16 |
               quint32(byte(offset + 3)) << 24;
    }
    QByteArrayView slice(quint64 offset, quint64 length) const {
        return has(offset, length) ? m_data.sliced(qsizetype(offset), qsizetype(length)) : QByteArrayView();
    }

private:
    quint32 byte(quint64 offset) const { return quint8(m_data[qsizetype(offset)]); }
    QByteArrayView m_data;
};

constexpr quint32 kPeSignature = 0x00004550; // "PE\0\0"
constexpr quint16 kPe32Magic = 0x10b;
constexpr quint16 kPe32PlusMagic = 0x20b;
constexpr quint32 kRtVersion = 16;
constexpr quint32 kFixedSignature = 0xFEEF04BD;
constexpr quint32 kFixedInfoSize = 52;
// The loader accepts no more sections than this; more is a hostile header.
constexpr quint32 kMaxSections = 96;
constexpr quint32 kHighBit = 0x80000000u;

struct Section {
    quint32 virtualAddress;
    quint32 rawSize;
    quint32 rawPointer;
};

class Image {
public:
    explicit Image(const Bytes& bytes) : m_bytes(bytes) {}

    bool readHeaders() {
        if (m_bytes.u16(0) != quint16(0x5A4D)) // "MZ"
            return false;
        const auto peOffset = m_bytes.u32(0x3C);
        if (!peOffset || m_bytes.u32(*peOffset) != kPeSignature)
            return false;
        const quint64 coff = quint64(*peOffset) + 4;
        const auto sectionCount = m_bytes.u16(coff + 2);
        const auto optionalSize = m_bytes.u16(coff + 16);
        const quint64 optional = coff + 20;
        const auto magic = m_bytes.u16(optional);
        if (!sectionCount || !optionalSize || !magic)
            return false;
        quint64 countAt = 0;
        if (*magic == kPe32Magic)
            countAt = optional + 92;
        else if (*magic == kPe32PlusMagic)
            countAt = optional + 108;
        else
            return false;
        const quint64 resourceEntry = countAt + 4 + 2 * 8; // third data directory
        const auto directoryCount = m_bytes.u32(countAt);
        if (!directoryCount || *directoryCount < 3 || resourceEntry + 8 > optional + *optionalSize)
            return false;
        const auto rva = m_bytes.u32(resourceEntry);
        if (!rva || *rva == 0)
            return false;
        m_resourceRva = *rva;

        if (*sectionCount > kMaxSections)
            return false;
        const quint64 table = optional + *optionalSize;
        for (quint32 i = 0; i < *sectionCount; ++i) {
            const quint64 at = table + 40 * quint64(i);
            const auto va = m_bytes.u32(at + 12);
            const auto rawSize = m_bytes.u32(at + 16);
            const auto rawPointer = m_bytes.u32(at + 20);
            if (!va || !rawSize || !rawPointer)
                return false;
            m_sections.append({*va, *rawSize, *rawPointer});
        }
        return true;
    }

    // File offset of `length` bytes at `rva`, all inside one section's data in the file.
    std::optional<quint64> fileOffset(quint64 rva, quint64 length) const {
        for (const Section& s : m_sections) {
            if (rva < s.virtualAddress)
                continue;
            const quint64 inSection = rva - s.virtualAddress;
            if (inSection > s.rawSize || length > s.rawSize - inSection)
                continue;
            const quint64 offset = quint64(s.rawPointer) + inSection;
            if (m_bytes.has(offset, length))
                return offset;
        }
        return std::nullopt;
    }

    // The bytes of the version resource: type 16, name 1 when present (else the first
    // name), first language. The walk has a fixed depth, so a directory that points
    // back at itself cannot make it loop.
    QByteArrayView versionData() const {
        const auto names = subdirectory(0, kRtVersion);
        if (!names)
            return {};
        auto languages = subdirectory(*names, 1);
        if (!languages)
            languages = subdirectory(*names, std::nullopt);
        if (!languages)
            return {};
        const auto entry = firstLeaf(*languages);
        if (!entry)
            return {};
        const auto at = fileOffset(quint64(m_resourceRva) + *entry, 8);
        if (!at)
            return {};
        const auto dataRva = m_bytes.u32(*at);
        const auto size = m_bytes.u32(*at + 4);
        if (!dataRva || !size)
            return {};
        const auto data = fileOffset(*dataRva, *size);
        if (!data)
            return {};
        return m_bytes.slice(*data, *size);
    }

private:
    struct Entry {
        quint32 name;
        quint32 target;
    };

    // Calls `visit` for each entry of the directory at `offset` (relative to the resource
    // section) until it returns true. Entries beyond the data end the walk.
    template <typename Visit> void forEachEntry(quint32 offset, Visit visit) const {
        const auto header = fileOffset(quint64(m_resourceRva) + offset, 16);
        if (!header)
            return;
        const auto named = m_bytes.u16(*header + 12);
        const auto ids = m_bytes.u16(*header + 14);
        const quint32 count = quint32(*named) + quint32(*ids);
        for (quint32 i = 0; i < count; ++i) {
            const auto at = fileOffset(quint64(m_resourceRva) + offset + 16 + 8 * quint64(i), 8);
            if (!at)
                return;
            if (visit(Entry{*m_bytes.u32(*at), *m_bytes.u32(*at + 4)}))
                return;
        }
    }

    // The first subdirectory with the numeric name `id`, or of any name when `id` is empty.
    std::optional<quint32> subdirectory(quint32 offset, std::optional<quint32> id) const {
        std::optional<quint32> found;
        forEachEntry(offset, [&](const Entry& e) {
            const bool byId = (e.name & kHighBit) == 0;
            if ((e.target & kHighBit) && (!id || (byId && e.name == *id)))
                found = e.target & ~kHighBit;
            return found.has_value();
        });
        return found;
    }

    std::optional<quint32> firstLeaf(quint32 offset) const {
        std::optional<quint32> found;
        forEachEntry(offset, [&](const Entry& e) {
            if ((e.target & kHighBit) == 0)
                found = e.target;
            return found.has_value();
        });
        return found;
    }

    const Bytes& m_bytes;
    quint32 m_resourceRva = 0;
    QList<Section> m_sections;
};

quint64 align4(quint64 offset) {
    return (offset + 3) & ~quint64(3);
}

// One node of the version tree: wLength, wValueLength, wType, key, padding, value,
// padding, children.
struct Block {
    quint64 end = 0;
    quint16 valueLength = 0;
    quint16 type = 0;
    QString key;
    quint64 valueStart = 0;
    quint64 childrenStart = 0;
};

std::optional<Block> readBlock(const Bytes& data, quint64 at, quint64 limit) {
    const auto length = data.u16(at);
    if (!length || *length < 6 || at + 6 > limit)
        return std::nullopt;
    Block b;
    b.end = std::min(at + *length, limit);
    b.valueLength = *data.u16(at + 2);
    b.type = *data.u16(at + 4);
    quint64 p = at + 6;
    for (;; p += 2) {
        if (p + 2 > b.end)
            return std::nullopt; // key without its NUL
        const quint16 c = *data.u16(p);
        if (c == 0)
            break;
        b.key.append(QChar(c));
    }
    b.valueStart = std::min(align4(p + 2), b.end);
    const quint64 valueBytes = b.type == 1 ? 2 * quint64(b.valueLength) : b.valueLength;
    b.childrenStart = std::min(align4(b.valueStart + valueBytes), b.end);
    return b;
}

// Visits the children of `parent` in order.
template <typename Visit> void forEachChild(const Bytes& data, const Block& parent, Visit visit) {
    quint64 at = parent.childrenStart;
    while (at < parent.end) {
        const auto child = readBlock(data, at, parent.end);
        if (!child)
            return;
        visit(*child);
        at = align4(child->end); // wLength is at least 6, so this always moves on
    }
}

bool sameKey(const QString& a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

QString stringValue(const Bytes& data, const Block& b) {
    QString text;
    if (b.valueLength == 0)
        return text;
    for (quint64 p = b.valueStart; p + 2 <= b.end; p += 2) {
        const quint16 c = *data.u16(p);
        if (c == 0)
            break;
        text.append(QChar(c));
        if (text.size() * 2 >= kMaxValueBytes)
            break;
    }
    if (text.size() * 2 >= kMaxValueBytes && text.back().isHighSurrogate())
        text.chop(1); // never keep half a character
    return text;
}

void readStringFileInfo(const Bytes& data, const Block& block, Info& info) {
    forEachChild(data, block, [&](const Block& table) {
        StringTable t;
        t.key = table.key;
        forEachChild(data, table, [&](const Block& value) { t.values.append({value.key, stringValue(data, value)}); });
        info.stringTables.append(std::move(t));
    });
}

void readVarFileInfo(const Bytes& data, const Block& block, Info& info) {
    forEachChild(data, block, [&](const Block& var) {
        if (info.hasTranslation || !sameKey(var.key, "Translation") || var.valueLength < 4 ||
            var.valueStart + 4 > var.end)
            return;
        info.language = *data.u16(var.valueStart);
        info.codePage = *data.u16(var.valueStart + 2);
        info.hasTranslation = true;
    });
}

std::array<quint16, 4> versionParts(quint32 mostSignificant, quint32 leastSignificant) {
    return {quint16(mostSignificant >> 16), quint16(mostSignificant & 0xFFFF), quint16(leastSignificant >> 16),
            quint16(leastSignificant & 0xFFFF)};
}

std::optional<Info> parseVersionResource(QByteArrayView resource) {
    const Bytes data(resource);
    const auto root = readBlock(data, 0, data.size());
    if (!root || root->key != QLatin1String("VS_VERSION_INFO"))
        return std::nullopt;
    Info info;
    if (root->valueLength >= kFixedInfoSize && data.has(root->valueStart, kFixedInfoSize) &&
        root->valueStart + kFixedInfoSize <= root->end && data.u32(root->valueStart) == kFixedSignature) {
        const quint64 v = root->valueStart;
        info.fileVersion = versionParts(*data.u32(v + 8), *data.u32(v + 12));
        info.productVersion = versionParts(*data.u32(v + 16), *data.u32(v + 20));
        info.hasFixed = true;
    }
    bool sawStrings = false;
    forEachChild(data, *root, [&](const Block& child) {
        if (sameKey(child.key, "StringFileInfo") && !sawStrings) {
            sawStrings = true;
            readStringFileInfo(data, child, info);
        } else if (sameKey(child.key, "VarFileInfo")) {
            readVarFileInfo(data, child, info);
        }
    });
    return info;
}

} // namespace

QString Info::translationKey() const {
    if (!hasTranslation)
        return {};
    return QStringLiteral("%1%2")
        .arg(language, 4, 16, QLatin1Char('0'))
        .arg(codePage, 4, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<QString> Info::stringValue(const QString& tableKey, const QString& name) const {
    for (const StringTable& t : stringTables) {
        if (t.key.compare(tableKey, Qt::CaseInsensitive) != 0)
            continue;
        for (const auto& [key, value] : t.values)
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
    }
    return std::nullopt;
}

std::optional<Info> parse(QByteArrayView image) {
    const Bytes bytes(image);
    Image pe(bytes);
    if (!pe.readHeaders())
        return std::nullopt;
    const QByteArrayView resource = pe.versionData();
    if (resource.isEmpty())
        return std::nullopt;
    return parseVersionResource(resource);
}

std::optional<Info> readFile(const QString& path) {
    // Only regular files: opening a FIFO or a device for reading could block or never end.
    const QFileInfo fileInfo(path);
    if (!fileInfo.isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
        return std::nullopt;
    // A plain read, not a mapping: the updater may replace the player while we read it,
    // and a mapping of a file that shrinks underneath faults instead of failing.
    constexpr qint64 kMaxRead = 256 * 1024 * 1024;
    if (file.size() > kMaxRead)
        return std::nullopt;
    return parse(file.readAll());
}

QString versionText(const std::array<quint16, 4>& parts) {
    return QStringLiteral("%1.%2.%3.%4").arg(parts[0]).arg(parts[1]).arg(parts[2]).arg(parts[3]);
}

} // namespace PeVersion
