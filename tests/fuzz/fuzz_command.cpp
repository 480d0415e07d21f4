// The command line and the tray state it fills. Properties: the text and "|||" are
// split at every "|||", left to right; the option is field 2 upper-cased; "/b"
// and "/u" fill their record element by element from field 3 and touch nothing else;
// "/tray" reads back exactly the player kind that the tray wrote into Sys.ini.
#include "AnsiCodePage.h"
#include "FileOperate.h"
#include "FuzzSupport.h"
#include "TrayState.h"

namespace {

// Split written independently of QString::split: left to right, without overlap.
QStringList splitAtBars(const QString& s) {
    QStringList out;
    QString piece;
    for (qsizetype i = 0; i < s.size();) {
        if (s.at(i) == u'|' && i + 2 < s.size() && s.at(i + 1) == u'|' && s.at(i + 2) == u'|') {
            out.append(piece);
            piece.clear();
            i += 3;
        } else {
            piece.append(s.at(i++));
        }
    }
    out.append(piece);
    return out;
}

void fill(UserRecord& record, const QString& prefix) {
    for (int i = 0; i < 7; ++i)
        record.Field[i] = prefix + QString::number(i + 1);
}

const QString kSysIni = fuzzScratchFile(QStringLiteral("Users/All Users/Sys.ini"));

void checkStart(const QString& commandText, const QString& playerKind) {
    TrayState state;
    fill(state.BabyUser, QStringLiteral("baby"));
    fill(state.ParentUser, QStringLiteral("parent"));
    state.PlayerType = QStringLiteral("before");
    state.ActiveUserField3 = QStringLiteral("before");
    const TrayState old = state;

    state.applyStartCommand(commandText, kSysIni);

    FUZZ_CHECK_EQ(state.CommandLine, commandText + QStringLiteral("|||"));
    const QStringList elements = splitAtBars(state.CommandLine);
    FUZZ_CHECK_EQ(state.CommandOption, elements.value(1).toUpper());
    FUZZ_CHECK(state.hidesTrayIcon() == (state.CommandOption == QLatin1String("HIDDENTRAYICO")));

    const QString lowerSwitch = elements.at(0).toLower();
    const bool baby = lowerSwitch == QLatin1String("/b");
    if (baby || lowerSwitch == QLatin1String("/u")) {
        const UserRecord& record = baby ? state.BabyUser : state.ParentUser;
        const UserRecord& before = baby ? old.BabyUser : old.ParentUser;
        for (int i = 0; i < 7; ++i) {
            const QString expected =
                elements.size() >= 6 && 2 + i < elements.size() ? elements.at(2 + i) : before.Field[i];
            FUZZ_CHECK_EQ(record.Field[i], expected);
        }
        const UserRecord& other = baby ? state.ParentUser : state.BabyUser;
        FUZZ_CHECK(other.Field == (baby ? old.ParentUser : old.BabyUser).Field);
        FUZZ_CHECK_EQ(state.ActiveUserField3, record.Field[2]);
        FUZZ_CHECK_EQ(state.PlayerType, baby ? QStringLiteral("BabyPlayer") : QStringLiteral("ParentPlayer"));
        FUZZ_CHECK_EQ(state.CurrentUserKind(), baby ? QStringLiteral("baby") : QStringLiteral("user"));
        return;
    }
    FUZZ_CHECK(state.BabyUser.Field == old.BabyUser.Field && state.ParentUser.Field == old.ParentUser.Field);
    FUZZ_CHECK_EQ(state.ActiveUserField3, old.ActiveUserField3);
    if (lowerSwitch == QLatin1String("/tray"))
        FUZZ_CHECK_EQ(state.PlayerType, playerKind);
    else
        FUZZ_CHECK_EQ(state.PlayerType, old.PlayerType);
}

} // namespace

FUZZ_TARGET(in) {
    const quint8 mode = in.byte();
    QString commandText = in.text();
    if (mode & 1) {
        // Starts by the player: a switch and an option in front of the fuzzed fields.
        static const char* const kSwitches[] = {"/b", "/U", "/tray", "/TRAY", "/exit"};
        commandText = QString::fromLatin1(kSwitches[(mode >> 1) % 5]) + QStringLiteral("|||") + commandText;
    }

    // Sys.ini as the tray writes it at quit; what can be read back is the kind after
    // its trip through the 8-bit code page.
    QString kind = in.text();
    kind.remove(u'\r').remove(u'\n');
    kind = AnsiCodePage::decode(AnsiCodePage::encode(kind));
    if (kind.contains(QLatin1String("TrayDefaultType="), Qt::CaseInsensitive))
        kind.clear();
    if (splitAtBars(commandText + QStringLiteral("|||")).at(0).toLower() == QLatin1String("/tray")) {
        FUZZ_CHECK(
            FileOperate::WriteTextFile(kSysIni, QStringLiteral("TrayDefaultType=") + kind + QStringLiteral("\r\n")));
    }
    checkStart(commandText, kind);

    // A second start forwards its command line, which already ends with "|||": the
    // running tray sees one more empty element and otherwise the same fields.
    TrayState first;
    const QStringList once = first.setCommand(commandText).elements;
    TrayState running;
    const QStringList twice = running.setCommand(first.CommandLine).elements;
    if (!commandText.endsWith(u'|')) {
        FUZZ_CHECK(twice.size() == once.size() + 1 && twice.first(once.size()) == once && twice.last().isEmpty());
        FUZZ_CHECK_EQ(running.CommandOption, first.CommandOption);
    }
    checkStart(first.CommandLine, kind);
}
