#include "Fakes.h"
#include "Settings.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QTest>

namespace {
QByteArray readData(const char* name) {
    return readFile(QStringLiteral(VT_TEST_DATA_DIR "/server/") + name);
}
void writeSettings(const QString& home, const QByteArray& bytes) {
    QVERIFY(writeFile(home + "/Bin/Settings.xml", bytes));
}
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lookups() {
        TempProgramHome home;
        RecordingPrompt prompt;
        Settings s(prompt);
        writeSettings(home.path(), "\xEF\xBB\xBF" + readData("settings-good.xml"));
        s.LoadSettings();
        QVERIFY(prompt.calls.isEmpty());
        QCOMPARE(s.SettingValue("url", "/Root/Server/WebApi"), QString("http://127.0.0.1:1/api"));
        QCOMPARE(s.SettingValue("text", "/Root/Server/WebApi"), QString());
        // Kinds are case-sensitive: "Text" is an attribute name.
        QCOMPARE(s.SettingValue("Text", "/Root/Server/WebApi"), QString("attr"));
        // "text" joins all descendant text, CDATA included; "xml" is the markup.
        QCOMPARE(s.SettingValue("text", "/Root/Server/MyHomeManage"), QString("首页说明 & more"));
        QVERIFY(s.SettingValue("xml", "/Root/Server/MyHomeManage")
                    .startsWith("<MyHomeManage url=\"http://127.0.0.1:1/home\">首页<b>说明</b>"));
        // Missing nodes and broken paths are empty and silent.
        QCOMPARE(s.SettingValue("url", "/Root/News/Notice"), QString());
        QCOMPARE(s.SettingValue("url", "/Root/[["), QString());
        QVERIFY(prompt.calls.isEmpty());

        const QList<pugi::xml_node> list = s.SelectNodes("/Root/SoftBrothers/SoftList");
        QCOMPARE(list.size(), 3);
        QCOMPARE(QStringList({NodeItemValue(list[0], "Caption"), NodeItemValue(list[1], "Caption"),
                              NodeItemValue(list[1], "v"), NodeItemValue(list[2], "t")}),
                 QStringList({"Brightsprout识字卡片", "故事屋", "", "Diary"}));
    }

    // A notice arrives from the network; a deeply nested one must not run the reader out of stack.
    void deepNestingReadsItsText() {
        constexpr int depth = 400000;
        QByteArray xml = "<Root><Notice><Title>";
        xml += QByteArray("<a>").repeated(depth) + "x" + QByteArray("</a>").repeated(depth) + "y";
        xml += "</Title></Notice></Root>";
        pugi::xml_document doc;
        QVERIFY(ParseXmlDocument(doc, xml));
        QCOMPARE(NodeValue(&doc, "text", "/Root/Notice/Title"), QString("xy"));
    }

    // The declaration's encoding is honoured, as an XML document object does; a mark or
    // UTF-16 without one decides before it. Only a whole encoding attribute inside the
    // declaration counts; without one the text is read as UTF-8.
    void documentsDecodeAsTheyDeclare() {
        const auto declared = [](const QByteArray& declaration, const QByteArray& text) -> QByteArray {
            return "<?xml version='1.0'" + declaration + "?><Root><Notice><Title>" + text + "</Title></Notice></Root>";
        };
        const QString asUtf8(2, QChar::ReplacementCharacter); // what GBK "中" is as UTF-8
        const QString utf16 = "<?xml version='1.0' encoding='gbk'?><Root><Notice><Title>中</Title></Notice></Root>";
        // "丂" (81 40) is in GBK but not in strict GB2312, and the labels mean GBK in practice.
        const std::pair<QByteArray, QString> cases[] = {
            {declared(" encoding='gb2312' ", "\xD6\xD0\xCE\xC4\x81\x40"), "中文丂"},
            {declared(" encoding='GB18030'", "\xD6\xD0\x95\x32\x82\x36"), "中\U00020000"},
            {declared(" encoding='big5'", "\xA4\xA4\xA4\xE5"), "中文"},
            {declared(" encoding='utf-8'", "中文"), "中文"},
            {declared(" encoding='x-no-such'", "a"), "failed"},
            {declared(" xencoding='big5' encoding = \"gbk\"", "\xD6\xD0"), "中"},
            {declared(" encoding='gbk\"", "\xD6\xD0"), asUtf8},
            {declared("><x encoding='gbk'", "\xD6\xD0"), asUtf8},
            {"<?xmlencoding='gbk'?><Root><Notice><Title>\xD6\xD0</Title></Notice></Root>", asUtf8},
            {QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2), "中"},
            {"\xEF\xBB\xBF" + declared(" encoding='gbk'", "中"), "中"},
        };
        for (const auto& [bytes, title] : cases) {
            pugi::xml_document doc;
            QCOMPARE(ParseXmlDocument(doc, bytes) ? NodeValue(&doc, "text", "/Root/Notice/Title") : QString("failed"),
                     title);
        }
        // Settings.xml goes through the same reader.
        TempProgramHome home;
        RecordingPrompt prompt;
        Settings s(prompt);
        writeSettings(home.path(), "<?xml version=\"1.0\" encoding=\"GBK\"?><Root><SoftBrothers><SoftList "
                                   "Caption=\"\xB6\xF9\xB8\xE8\"/></SoftBrothers></Root>");
        s.LoadSettings();
        QCOMPARE(s.SettingValue("Caption", "/Root/SoftBrothers/SoftList"), QString("儿歌"));
    }

    void brokenFileWarnsOnceAndEverythingIsEmpty_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << QByteArray();
        // The part before the fault parses; none of it may survive.
        QTest::newRow("cut off") << readData("settings-good.xml").left(400);
        QTest::newRow("two roots") << QByteArray("<Root><Server><WebApi url=\"x\"/></Server></Root><Root/>");
    }
    void brokenFileWarnsOnceAndEverythingIsEmpty() {
        QFETCH(QByteArray, content);
        TempProgramHome home;
        RecordingPrompt prompt;
        Settings s(prompt);
        if (!content.isEmpty())
            writeSettings(home.path(), content);
        s.LoadSettings();
        QCOMPARE(prompt.calls.size(), 1);
        QCOMPARE(prompt.calls[0].text, QString("Err.SysSettings"));
        QCOMPARE(s.SettingValue("url", "/Root/Server/WebApi"), QString());
        QVERIFY(s.SelectNodes("/Root/SoftBrothers/SoftList").isEmpty());
        QCOMPARE(prompt.calls.size(), 1);
    }

    // The configuration the build lays into the program folder loads and points at the demo service.
    void shippedConfiguration() {
        RecordingPrompt prompt;
        Settings s(prompt);
        s.LoadSettingsFrom(VT_PROGRAM_DIR "/Bin/Settings.xml");
        QVERIFY(prompt.calls.isEmpty());
        for (const char* path : {"/Root/Server/WebApi", "/Root/Server/InterfaceUserServer", "/Root/News/Notice"})
            QVERIFY2(s.SettingValue("url", path).startsWith("http://127.0.0.1:8765"), path);
    }
};

VT_TEST(TestSettings)
#include "test_settings.moc"
