// The tooltip record, the sibling programs and the skin choice.
#include "AnsiCodePage.h"
#include "Fakes.h"
#include "NotifyIconData.h"
#include "SiblingPrograms.h"
#include "Skin.h"
#include "TestFiles.h"
#include "TrayIcon.h"
#include "TrayState.h"
#include "TrayTexts.h"

#include <QTest>

class TestTrayValues : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tooltipsAreCutAt64BytesOnACharacterBoundary() {
        NotifyIconData d;
        d.setTip(TrayTexts::offlineTip());
        QCOMPARE(d.tipText(), QStringLiteral("Brightsprout培养助手：（离线）\r\nhttp://www.vantobel.example\r\n"));
        QVERIFY(d.tipField().size() == 64 && d.tipField().endsWith(' ')); // padded behind the NUL

        // The unread text is longer than the field: its end (and its NUL) is lost.
        d.setTip(TrayTexts::unreadTip());
        QCOMPARE(d.tipText(), QStringLiteral("Brightsprout培养助手：您有未读消息！\r\nhttp://www.vantobel.exampl"));

        // One ASCII byte, then two-byte characters: 63 bytes fit, the 64th would be half a character.
        d.setTip(QStringLiteral("a") + QString(40, QChar(0x4E2D)));
        QCOMPARE(d.tipBytes().size(), 63);
        QCOMPARE(d.tipText(), QStringLiteral("a") + QString(31, QChar(0x4E2D)));
        d.setTip(QChar(0) + QStringLiteral("hidden")); // the icon shows the text up to the NUL
        QCOMPARE(d.tipText(), QString());
        // Characters outside the code page count as the one byte they become.
        QCOMPARE(NotifyIconData::cutText(QString::fromUtf8("\xF0\x9F\x98\x80xy"), 2), QStringLiteral("?x"));
        // A lone surrogate is one character of its own, never paired with the next.
        QCOMPARE(NotifyIconData::cutText(QStringLiteral("a") + QChar(0xD800) + QStringLiteral("bc"), 2),
                 QStringLiteral("a?"));
    }

    void siblingProgramsStartOrSendTheUserToTheirPage() {
        TempProgramHome home;
        const QString installed = home.path() + "/garden/Garden";
        QVERIFY(writeFile(installed, "#!/bin/sh\n"));
        TrayState s;
        s.BabyUser.Field = {"b1", "b2", "b3", "b4", "b5", "b6", "b7"};
        QString path = installed;
        RecordingLauncher launcher;
        RecordingPrompt prompt;
        QStringList opened;
        SiblingLauncher siblings(
            s, [&](const QString&) { return path; }, launcher, prompt, [&](const QString& u) { opened << u; });
        const SiblingEntry e{"Garden", "Garden", "/v", "/k", "http://d.example/g"};

        QCOMPARE(siblingParameters(s, e), QStringLiteral("/v|||/k"));
        s.PlayerType = QStringLiteral("babyPLAYER");
        QVERIFY(siblings.start(e));
        QCOMPARE(launcher.started[0].program, installed);
        QCOMPARE(launcher.started[0].arguments, QStringList{"/v|||b1|||b2|||b3|||b4|||b5|||b6|||b7|||/k"});
        QVERIFY(prompt.calls.isEmpty());

        // Blank path, a path that is gone, a program that does not start: not installed.
        launcher.succeed = false;
        for (const QString& p : QStringList{"  ", home.path() + "/missing/Garden", installed}) {
            path = p;
            QVERIFY(!siblings.start(e));
        }
        QCOMPARE(launcher.started.size(), 2); // only the existing file was tried
        QCOMPARE(prompt.calls.size(), 3);
        const PromptCall& c = prompt.calls[0];
        QVERIFY(c.text == "未安装此插件，请下载安装！" && c.title == "VantobelPlayTray" &&
                c.icon == PromptIcon::Information);
        QCOMPARE(opened, QStringList(3, "http://d.example/g"));
    }

    void skinChoiceAndSchemes() {
        const QString qss = QStringLiteral("A{}\r\n/* [Normal] */\r\nB{}\n  /*[soft]*/  \nC{}\n/* [Other] */\nD{}\n");
        QCOMPARE(SkinEngine::selectScheme(qss, QStringLiteral("SOFT")), QStringLiteral("A{}\nC{}\n"));
        // Only a bracketed name alone in its comment starts a section; an empty name is a section too.
        const QString odd = QStringLiteral("A{}\n/* [x] y */\nB{}\n/* [] */\nC{}\n/*[a]b]*/\nD{}\n");
        QCOMPARE(SkinEngine::selectScheme(odd, QString()), QStringLiteral("A{}\n/* [x] y */\nB{}\n"));

        TempProgramHome home;
        const QString folder = home.path() + "/Skin/";
        QCOMPARE(readSkinChoice(folder).skinPath, folder); // no choice file: the bare folder
        QVERIFY(writeFile(folder + "DefaultSkin.ini", "skinfile=Mine.qss\r\nSKININIFILE=Soft\r\nSkinFile=B.qss\r\n"));
        const SkinChoice c = readSkinChoice(folder);
        QCOMPARE(c.skinPath, folder + "Mine.qss");
        QCOMPARE(c.scheme, QStringLiteral("Soft"));

        SkinEngine engine;
        QVERIFY(!engine.LoadSkin(c.skinPath, c.scheme)); // named skin missing
        QVERIFY(writeFile(c.skinPath, "X{}\n/* [Soft] */\nY{}\n"));
        QVERIFY(engine.LoadSkin(c.skinPath, c.scheme));
        QCOMPARE(engine.styleSheet(), QStringLiteral("X{}\nY{}\n"));
    }

    // Every left-button release opens the player, also the second of a quick pair,
    // which X11 reports as a double click; only the right button raises the menu.
    void trayClicks() {
        QCOMPARE(decodeActivation(QSystemTrayIcon::Trigger), TrayClick::OpenDefaultPlayer);
        QCOMPARE(decodeActivation(QSystemTrayIcon::DoubleClick), TrayClick::OpenDefaultPlayer);
        QCOMPARE(decodeActivation(QSystemTrayIcon::Context), TrayClick::ShowMenu);
        QCOMPARE(decodeActivation(QSystemTrayIcon::MiddleClick), TrayClick::None);
    }
};

QTEST_GUILESS_MAIN(TestTrayValues)
#include "test_tray_values.moc"
