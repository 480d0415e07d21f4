// The settings dialog (loading, saving, honest failure reports) and the about box.

#include "Seams.h"
#include "SysSettings.h"
#include "TestMain.h"
#include "WindowTestKit.h"
#include "sAbout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {

class FakeAutoRun : public AutoRunStore {
public:
    bool IsAutoRunSet() const override { return set; }
    bool SetAutoRun() override { return change(true, sets); }
    bool RemoveAutoRun() override { return change(false, removes); }
    bool change(bool to, int& count) {
        ++count;
        set = works ? to : set;
        return works;
    }
    bool set = false;
    bool works = true;
    int sets = 0;
    int removes = 0;
};

struct DialogKit : WindowKit {
    FakeAutoRun autoRun;

    std::unique_ptr<SysSettings> open() {
        auto dialog = std::make_unique<SysSettings>(SysSettingsDeps{settings, autoRun, prompt});
        dialog->load();
        return dialog;
    }
    QString stored(const QString& key) { return settings.ReadSetting("SoftSettings", key); }
};

QCheckBox* box(const QWidget& w, const char* name) {
    return w.findChild<QCheckBox*>(name);
}
QComboBox* list(const QWidget& w, const char* name) {
    return w.findChild<QComboBox*>(name);
}
void save(const QWidget& w) {
    QTest::mouseClick(w.findChild<QPushButton*>("CommdSave"), Qt::LeftButton);
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loadAndSaveRoundTrip() {
        DialogKit kit;
        auto dialog = kit.open();
        // Saving what a fresh database loads writes the defaults back.
        save(*dialog);
        QCOMPARE(kit.prompt.calls.size(), 1);
        const PromptCall& c = kit.prompt.calls[0];
        QVERIFY(c.text == "恭喜您，设置保存成功！" && c.title == "VantobelPlayTray" &&
                c.icon == PromptIcon::Information);
        QStringList values;
        for (const char* key : {"PopShow_SysBrightsproutNotice", "PopShow_SysAdv", "PopShow_SysNotice",
                                "PopShow_SysNewList", "AllMessagePeaceful", "PopAutoCloseTime_SysNotice"})
            values << kit.stored(key);
        QCOMPARE(values, QStringList({"0", "0", "1", "1", "0", "1"}));
        QCOMPARE(kit.autoRun.sets + kit.autoRun.removes, 0);

        // What was saved comes back; a value the lists do not hold selects nothing and saves as 1.
        kit.settings.WriteSetting("SoftSettings", "PopAutoCloseTime_SysNotice", "500");
        kit.settings.WriteSetting("SoftSettings", "PopShow_SysBrightsproutNotice", "yes");
        dialog = kit.open();
        QCOMPARE(list(*dialog, "SysNoticeAutoCloseTime")->currentIndex(), -1);
        list(*dialog, "SysAdvAutoCloseTime")->setCurrentIndex(14);
        box(*dialog, "Peaceful")->setChecked(true);
        box(*dialog, "SysAdvAutoClose")->setChecked(true);
        save(*dialog);
        QCOMPARE(kit.stored("PopAutoCloseTime_SysAdv"), QStringLiteral("15"));
        QCOMPARE(kit.stored("PopAutoCloseTime_SysNotice"), QStringLiteral("1"));

        auto again = kit.open();
        QCOMPARE(list(*again, "SysAdvAutoCloseTime")->currentText(), QStringLiteral("15分钟"));
        QCOMPARE(list(*again, "SysNoticeAutoCloseTime")->currentText(), QStringLiteral("1分钟"));
        QVERIFY(box(*again, "Peaceful")->isChecked() && box(*again, "SysAdvAutoClose")->isChecked());
        QVERIFY(!box(*again, "SysBrightsproutNotice")->isChecked());
    }

    void autorunAndFailedSaves() {
        DialogKit kit;
        kit.autoRun.set = true;
        auto dialog = kit.open();
        QVERIFY(box(*dialog, "KestavelSoft_AutoRun")->isChecked());
        box(*dialog, "KestavelSoft_AutoRun")->setChecked(false);
        save(*dialog);
        save(*dialog);
        QCOMPARE(kit.autoRun.removes, 1);
        QCOMPARE(kit.autoRun.sets, 0);

        kit.autoRun.works = false;
        box(*dialog, "KestavelSoft_AutoRun")->setChecked(true);
        save(*dialog);
        QCOMPARE(kit.prompt.calls.size(), 3);
        QVERIFY(kit.prompt.calls[2].icon == PromptIcon::Critical && kit.prompt.calls[2].text.contains("开机自启动"));

        kit.autoRun.works = true;
        sqlOn(kit.db(), "create trigger refuse before insert on SoftSettings begin select raise(abort,'no'); end;");
        box(*dialog, "SysAdv")->setChecked(true);
        save(*dialog);
        const PromptCall& last = kit.prompt.calls.last();
        QVERIFY(last.icon == PromptIcon::Critical && last.text.contains(QStringLiteral("消息设置")));
        QVERIFY(!last.text.contains(QStringLiteral("开机自启动")));
        QCOMPARE(kit.stored("PopShow_SysAdv"), QStringLiteral("0"));
    }

    void keyboard() {
        DialogKit kit;
        auto dialog = kit.open();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        // Enter saves only from the button itself.
        QComboBox* minutes = list(*dialog, "SysAdvAutoCloseTime");
        minutes->setFocus();
        QTest::keyClick(minutes, Qt::Key_Return);
        QVERIFY(kit.prompt.calls.isEmpty());
        auto* saveButton = dialog->findChild<QPushButton*>("CommdSave");
        saveButton->setFocus();
        QTest::keyClick(saveButton, Qt::Key_Return);
        QCOMPARE(kit.prompt.calls.size(), 1);
        QVERIFY(dialog->isVisible());
    }

    void aboutBox() {
        RecordingUrlOpener urls;
        QPointer<sAbout> about = new sAbout(AboutDeps{QStringLiteral("1.2.35"), urls});
        QCOMPARE(about->windowTitle(), QStringLiteral("关于 VantobelPlayTray"));
        QCOMPARE(about->versionText(), QStringLiteral("Vantobel育儿播放器(VantobelPlayTray) 1.2.35"));
        about->show();
        QTest::mouseClick(about->findChild<QLabel*>("lblDisclaimer"), Qt::LeftButton);
        QCOMPARE(urls.opened, QStringList{kVendorHomeAddress});
        QTest::keyClick(about->findChild<QLabel*>("lblDisclaimer"), Qt::Key_Space);
        QCOMPARE(urls.opened.size(), 2);
        QVERIFY(about->isVisible());
        QTest::keyClick(about, Qt::Key_Escape);
        QVERIFY(!about->isVisible());
        delete about;
    }
};

VT_TEST(TestDialogs)
#include "test_dialogs.moc"
