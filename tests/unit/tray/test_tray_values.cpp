// The tooltip record, the sibling programs, Sys.ini and the skin choice.
#include "AnsiCodePage.h"
#include "Fakes.h"
#include "NotifyIconData.h"
#include "SiblingPrograms.h"
#include "Skin.h"
#include "TestFiles.h"
#include "TrayState.h"
#include "TrayTexts.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {
UserRecord record(const QString& prefix) {
    UserRecord r;
    for (int i = 0; i < 7; ++i)
        r.Field[i] = prefix + QString::number(i + 1);
    return r;
}

} // namespace

class TestTrayValues : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tooltipsFitOrAreCutAt64Bytes() {
        NotifyIconData d;
        d.setTip(TrayTexts::normalTip());
        QCOMPARE(d.tipText(), QStringLiteral("Brightsprout培养助手：\r\nhttp://www.vantobel.example"));
        QCOMPARE(d.tipField().size(), NotifyIconData::kTipBytes);
        QVERIFY(d.tipField().endsWith(' ')); // padded behind the NUL

        d.setTip(TrayTexts::offlineTip());
        QCOMPARE(d.tipText(), QStringLiteral("Brightsprout培养助手：（离线）\r\nhttp://www.vantobel.example\r\n"));

        // The unread text is longer than the field: its end (and its NUL) is lost.
        d.setTip(TrayTexts::unreadTip());
        QCOMPARE(d.tipBytes.size(), 64);
        QCOMPARE(d.tipText(), QStringLiteral("Brightsprout培养助手：您有未读消息！\r\nhttp://www.vantobel.exampl"));
    }

    void tooltipCutNeverSplitsADoubleByteCharacter() {
        // One ASCII byte, then two-byte characters: 63 bytes fit, the 64th would be half a character.
        const QString text = QStringLiteral("a") + QString(40, QChar(0x4E2D));
        const QByteArray cut = NotifyIconData::cutToBytes(text, 64);
        QCOMPARE(cut.size(), 63);
        QCOMPARE(AnsiCodePage::decode(cut), QStringLiteral("a") + QString(31, QChar(0x4E2D)));
        NotifyIconData d;
        d.setTip(text);
        QCOMPARE(d.tipField().size(), 64);
        QCOMPARE(d.tipField().at(63), ' ');

        // Characters outside the code page count as the one byte they become.
        QCOMPARE(NotifyIconData::cutToBytes(QString::fromUtf8("\xF0\x9F\x98\x80xy"), 2), QByteArray("?x"));
    }

    void siblingTagsAndParameters() {
        const SiblingEntry e{QStringLiteral("宝宝乐园"), "Garden", "/open", "/k", "http://d.example/g"};
        QCOMPARE(SiblingEntry::fromTag(e.caption, e.tag()).url, e.url);

        TrayState s;
        s.BabyUser = record("b");
        s.ParentUser = record("p");
        QCOMPARE(siblingParameters(s, e), QStringLiteral("/open|||/k"));
        s.PlayerType = QStringLiteral("babyPlayer");
        QCOMPARE(siblingParameters(s, e), "/open|||" + record("b").joined() + "|||/k");
        s.PlayerType = QStringLiteral("PARENTPLAYER");
        QCOMPARE(siblingParameters(s, e), "/open|||" + record("p").joined() + "|||/k");
    }

    void siblingThatIsNotInstalledSendsTheUserToItsPage() {
        TempProgramHome home;
        const QString installed = home.path() + "/garden/Garden";
        QVERIFY(writeFile(installed, "#!/bin/sh\n"));
        TrayState s;
        s.PlayerType = QStringLiteral("ParentPlayer");
        s.ParentUser = record("p");
        QString path;
        RecordingLauncher launcher;
        RecordingPrompt prompt;
        QStringList opened;
        SiblingLauncher siblings(
            s, [&](const QString&) { return path; }, launcher, prompt, [&](const QString& u) { opened << u; });
        const SiblingEntry e{"Garden", "Garden", "/v", "/k", "http://d.example/g"};

        path = installed;
        QVERIFY(siblings.start(e));
        QCOMPARE(launcher.started.size(), 1);
        QCOMPARE(launcher.started[0].program, installed);
        QCOMPARE(launcher.started[0].arguments, QStringList{"/v|||" + record("p").joined() + "|||/k"});
        QVERIFY(prompt.calls.isEmpty());

        // Blank path, a path that is gone, a program that does not start.
        const QStringList broken{QStringLiteral("  "), home.path() + "/missing/Garden", installed};
        launcher.succeed = false;
        for (const QString& p : broken) {
            path = p;
            QVERIFY(!siblings.start(e));
        }
        QCOMPARE(launcher.started.size(), 2); // only the existing file was tried
        QCOMPARE(prompt.calls.size(), 3);
        QCOMPARE(prompt.calls[0].text, QStringLiteral("未安装此插件，请下载安装！"));
        QCOMPARE(prompt.calls[0].title, QStringLiteral("VantobelPlayTray"));
        QCOMPARE(prompt.calls[0].icon, PromptIcon::Information);
        QCOMPARE(opened, QStringList(3, "http://d.example/g"));

        // Without a download page the message is all.
        SiblingEntry noPage = e;
        noPage.url = QStringLiteral(" ");
        path.clear();
        QVERIFY(!siblings.start(noPage));
        QCOMPARE(prompt.calls.size(), 4);
        QCOMPARE(opened.size(), 3);
    }

    void skinSchemesAreSectionsOfTheSheet() {
        const QString qss = QStringLiteral("A{}\r\n/* [Normal] */\r\nB{}\n  /*[soft]*/  \nC{}\n/* [Other] */\nD{}\n");
        QCOMPARE(SkinEngine::selectScheme(qss, QStringLiteral("SOFT")), QStringLiteral("A{}\nC{}\n"));
        QCOMPARE(SkinEngine::selectScheme(qss, QStringLiteral("Normal")), QStringLiteral("A{}\nB{}\n"));
        QCOMPARE(SkinEngine::selectScheme(qss, QString()), QStringLiteral("A{}\n"));
        QCOMPARE(SkinEngine::selectScheme(qss, QStringLiteral("none")), QStringLiteral("A{}\n"));
    }

    void skinChoiceFileNamesTheSkin() {
        TempProgramHome home;
        const QString folder = home.path() + "/Skin/";
        QCOMPARE(readSkinChoice(folder).skinPath, folder); // no choice file: the bare folder
        QVERIFY(
            writeFile(folder + "DefaultSkin.ini", "skinfile=Mine.qss\r\nSKININIFILE=Soft\r\nSkinFile=Later.qss\r\n"));
        const SkinChoice c = readSkinChoice(folder);
        QCOMPARE(c.skinPath, folder + "Mine.qss");
        QCOMPARE(c.scheme, QStringLiteral("Soft"));

        SkinEngine engine;
        QVERIFY(!engine.LoadSkin(c.skinPath, c.scheme)); // named skin missing
        QVERIFY(!engine.LoadSkin(folder, QString()));    // the bare folder is no skin
        QVERIFY(!engine.isLoaded());
        QVERIFY(writeFile(c.skinPath, "X{}\n/* [Soft] */\nY{}\n"));
        QVERIFY(engine.LoadSkin(c.skinPath, c.scheme));
        QCOMPARE(engine.styleSheet(), QStringLiteral("X{}\nY{}\n"));
    }
};

QTEST_GUILESS_MAIN(TestTrayValues)
#include "test_tray_values.moc"
