#include "Fakes.h"
#include "FileOperate.h"
#include "TrayState.h"

#include <QDir>
#include <QTest>

class TestTrayState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void babySwitchFillsAllSevenFields() {
        TrayState s;
        s.applyStartCommand(QStringLiteral("/B|||x|||a|||b|||c|||d|||e|||f|||g"), {});
        QCOMPARE(s.BabyUser.joined(), QStringLiteral("a|||b|||c|||d|||e|||f|||g"));
        QCOMPARE(s.CommandOption, QStringLiteral("X"));
        QCOMPARE(s.ActiveUserField3, QStringLiteral("c"));
        QCOMPARE(s.CommandLine, QStringLiteral("/B|||x|||a|||b|||c|||d|||e|||f|||g|||"));
        QCOMPARE(s.CurrentUserKind(), QStringLiteral("baby"));
    }

    void fieldsFillElementByElement() {
        TrayState s;
        s.ParentUser.Field = {"1", "2", "3", "4", "5", "6", "7"};
        // Five elements after the split: no field changes, the player type still does.
        s.applyStartCommand(QStringLiteral("/u|||o|||a|||b"), {});
        QCOMPARE(s.ParentUser.joined(), QStringLiteral("1|||2|||3|||4|||5|||6|||7"));
        QCOMPARE(s.PlayerType, QStringLiteral("ParentPlayer"));
        QCOMPARE(s.ActiveUserField3, QStringLiteral("3"));

        // Exactly six elements (three fields) are enough; the first field not given empties.
        s.BabyUser.Field = {"1", "2", "3", "4", "5", "6", "7"};
        s.applyStartCommand(QStringLiteral("/b|||o|||a|||b|||c"), {});
        QCOMPARE(s.BabyUser.joined(), QStringLiteral("a|||b|||c||||||5|||6|||7"));
    }

    void forwardedCommandLineIsSplitAgainByTheRunningCopy() {
        TrayState second;
        second.applyStartCommand(QStringLiteral("/B|||hiddentrayico|||a|||b|||c"), {});
        QVERIFY(second.hidesTrayIcon());

        TrayState running;
        running.BabyUser.Field = {"1", "2", "3", "4", "5", "6", "7"};
        running.PlayerType = QStringLiteral("ParentPlayer");
        const TrayState::Parsed parsed = running.setCommand(second.CommandLine);
        QCOMPARE(running.CommandLine, QStringLiteral("/B|||hiddentrayico|||a|||b|||c||||||"));
        QCOMPARE(running.CommandOption, QStringLiteral("HIDDENTRAYICO"));
        running.applyUserSwitch(parsed.elements, true);
        QCOMPARE(running.BabyUser.joined(), QStringLiteral("a|||b|||c|||||||||6|||7"));
        QCOMPARE(running.PlayerType, QStringLiteral("BabyPlayer"));
    }

    void traySwitchReadsSysIni() {
        TempProgramHome home;
        const QString ini = home.path() + "/Sys.ini";
        TrayState s;
        s.applyStartCommand(QStringLiteral("/TRAY"), ini);
        QCOMPARE(s.PlayerType, QString());
        QVERIFY(FileOperate::WriteTextFile(ini, QStringLiteral("TrayDefaultType=ParentPlayer\r\n")));
        s.applyStartCommand(QStringLiteral("/tray|||HiddenTrayIco"), ini);
        QCOMPARE(s.PlayerType, QStringLiteral("ParentPlayer"));
        QVERIFY(s.hidesTrayIcon());
        QCOMPARE(s.CurrentUserKind(), QStringLiteral("user"));
    }

    void unknownSwitchOnlySetsCommandLine() {
        TrayState s;
        s.PlayerType = QStringLiteral("BabyPlayer");
        s.applyStartCommand(QString(), {});
        QCOMPARE(s.CommandLine, QStringLiteral("|||"));
        QCOMPARE(s.PlayerType, QStringLiteral("BabyPlayer"));
        QCOMPARE(commandTextFromArguments({"/b|||x", "a b"}), QStringLiteral("/b|||x a b"));
    }
};

QTEST_GUILESS_MAIN(TestTrayState)
#include "test_traystate.moc"
