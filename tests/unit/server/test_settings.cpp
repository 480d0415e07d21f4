#include "Fakes.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {
QString writeFile(const QString& dir, const QString& name, const QByteArray& bytes) {
    QDir().mkpath(dir);
    QFile f(dir + "/" + name);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return f.fileName();
}

QByteArray goodSettings() {
    QFile f(VT_TEST_DATA_DIR "/server/settings-good.xml");
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
const QByteArray kGood = goodSettings();
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lookupsByKind() {
        TempProgramHome home;
        RecordingPrompt prompt;
        Settings s(prompt);
        writeFile(home.path() + "/Bin", "Settings.xml", kGood);
        s.LoadSettings();
        QCOMPARE(s.SettingsPath(), home.path() + "/Bin/Settings.xml");
        QVERIFY(prompt.calls.isEmpty());

        QCOMPARE(s.SettingValue("url", "/Root/Server/WebApi"), QString("http://127.0.0.1:1/api"));
        QCOMPARE(s.SettingValue("text", "/Root/Server/WebApi"), QString());
        // Kinds are case-sensitive: "Text" is an attribute name, not the text kind.
        QCOMPARE(s.SettingValue("Text", "/Root/Server/WebApi"), QString("attr"));
        QCOMPARE(s.SettingValue("URL", "/Root/Server/WebApi"), QString());
        QCOMPARE(s.SettingValue("XML", "/Root/Server/MyHomeManage"), QString());
        // "text" joins every descendant text, CDATA included.
        QCOMPARE(s.SettingValue("text", "/Root/Server/MyHomeManage"), QString("首页说明 & more"));
        const QString xml = s.SettingValue("xml", "/Root/Server/MyHomeManage");
        QVERIFY2(xml.startsWith("<MyHomeManage url=\"http://127.0.0.1:1/home\">首页<b>说明</b>"), qPrintable(xml));
        QVERIFY(xml.endsWith("</MyHomeManage>"));

        // Missing nodes, missing attributes and broken paths are empty, silently.
        QCOMPARE(s.SettingValue("url", "/Root/News/Notice"), QString());
        QCOMPARE(s.SettingValue("missing", "/Root/Server/WebApi"), QString());
        QCOMPARE(s.SettingValue("url", "/Root/[["), QString());
        QCOMPARE(s.SettingValue("url", ""), QString());
        QVERIFY(prompt.calls.isEmpty());
    }

    void siblingListInOrderWithChineseCaptions() {
        TempProgramHome home;
        RecordingPrompt prompt;
        Settings s(prompt);
        s.LoadSettingsFrom(writeFile(home.path(), "s.xml", kGood));
        const QList<pugi::xml_node> nodes = s.SelectNodes("/Root/SoftBrothers/SoftList");
        QCOMPARE(nodes.size(), 3);
        QCOMPARE(NodeItemValue(nodes[0], "Caption"), QString("Brightsprout识字卡片"));
        QCOMPARE(NodeItemValue(nodes[0], "url"), QString("http://127.0.0.1:1/dl"));
        QCOMPARE(NodeItemValue(nodes[1], "Caption"), QString("故事屋"));
        QCOMPARE(NodeItemValue(nodes[1], "v"), QString());
        QCOMPARE(NodeItemValue(nodes[2], "t"), QString("Diary"));
        QCOMPARE(NodeItemValue(pugi::xml_node(), "t"), QString());
    }

    void emptySiblingList() {
        TempProgramHome home;
        RecordingPrompt prompt;
        Settings s(prompt);
        s.LoadSettingsFrom(writeFile(home.path(), "s.xml", "<Root><SoftBrothers></SoftBrothers></Root>"));
        QVERIFY(s.SelectNodes("/Root/SoftBrothers/SoftList").isEmpty());
        QVERIFY(prompt.calls.isEmpty());
    }

    void unreadableFileWarnsOnceAndLeavesEverythingEmpty_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("create");
        QTest::newRow("missing file") << QByteArray() << false;
        QTest::newRow("empty file") << QByteArray() << true;
        // The first part parses; nothing of it may survive.
        QTest::newRow("cut off") << kGood.left(kGood.indexOf("<SoftBrothers>") + 20) << true;
        QTest::newRow("mismatched tags") << QByteArray("<Root><Server><WebApi url=\"x\"></Root>") << true;
        QTest::newRow("two roots") << QByteArray("<Root><Server><WebApi url=\"x\"/></Server></Root><Root/>") << true;
    }
    void unreadableFileWarnsOnceAndLeavesEverythingEmpty() {
        QFETCH(QByteArray, content);
        QFETCH(bool, create);
        TempProgramHome home;
        RecordingPrompt prompt;
        Settings s(prompt);
        if (create)
            writeFile(home.path() + "/Bin", "Settings.xml", content);
        s.LoadSettings();
        QCOMPARE(prompt.calls.size(), 1);
        QCOMPARE(prompt.calls[0].text, QString("Err.SysSettings"));
        QCOMPARE(prompt.calls[0].title, QString("err"));
        QCOMPARE(prompt.calls[0].icon, PromptIcon::Critical);
        QCOMPARE(prompt.calls[0].buttons, PromptButtons::Ok);
        QCOMPARE(s.SettingValue("url", "/Root/Server/WebApi"), QString());
        QVERIFY(s.SelectNodes("/Root/SoftBrothers/SoftList").isEmpty());
        QCOMPARE(prompt.calls.size(), 1);
    }

    void byteOrderMarkIsAccepted() {
        TempProgramHome home;
        RecordingPrompt prompt;
        Settings s(prompt);
        s.LoadSettingsFrom(writeFile(home.path(), "s.xml", "\xEF\xBB\xBF" + kGood));
        QVERIFY(prompt.calls.isEmpty());
        QCOMPARE(s.SelectNodes("/Root/SoftBrothers/SoftList").size(), 3);
    }

    // The configuration laid into the build's program folder must load and point
    // every service at the local demo service.
    void shippedConfiguration() {
        RecordingPrompt prompt;
        Settings s(prompt);
        s.LoadSettingsFrom(VT_PROGRAM_DIR "/Bin/Settings.xml");
        QVERIFY(prompt.calls.isEmpty());
        for (const char* path : {"/Root/Server/WebApi", "/Root/Server/InterfaceUserServer", "/Root/Server/MyHomeManage",
                                 "/Root/News/Notice"})
            QVERIFY2(s.SettingValue("url", path).startsWith("http://127.0.0.1:8765"), path);
        const QList<pugi::xml_node> list = s.SelectNodes("/Root/SoftBrothers/SoftList");
        QCOMPARE(list.size(), 3);
        for (const pugi::xml_node& n : list) {
            QVERIFY(!NodeItemValue(n, "Caption").isEmpty());
            QVERIFY(!NodeItemValue(n, "t").isEmpty());
        }
    }

    void nodeValueOnNoDocument() { QCOMPARE(NodeValue(nullptr, "text", "/Root"), QString()); }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
