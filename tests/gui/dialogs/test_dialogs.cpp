// The settings dialog (loading, saving, honest failure reports) and the about box.

#include "AutoRun.h"
#include "SysSettings.h"
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
    bool SetAutoRun() override {
        ++sets;
        if (works)
            set = true;
        return works;
    }
    bool RemoveAutoRun() override {
        ++removes;
        if (works)
            set = false;
        return works;
    }
    bool set = false;
    bool works = true;
    int sets = 0;
    int removes = 0;
};

struct DialogKit : WindowKit {
    FakeAutoRun autoRun;

    SysSettings* open() {
        auto* dialog = new SysSettings(SysSettingsDeps{settings, autoRun, prompt});
        dialog->load();
        return dialog;
    }
    QString stored(const QString& key) { return settings.ReadSetting("SoftSettings", key); }
};

QCheckBox* box(QWidget* w, const char* name) {
    return w->findChild<QCheckBox*>(name);
}
QComboBox* list(QWidget* w, const char* name) {
    return w->findChild<QComboBox*>(name);
}
void save(QWidget* w) {
    QTest::mouseClick(w->findChild<QPushButton*>("CommdSave"), Qt::LeftButton);
}

const char* const kLists[] = {"SysBrightsproutNoticeAutoCloseTime", "SysAdvAutoCloseTime", "SysNewListAutoCloseTime",
                              "SysNoticeAutoCloseTime"};

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void freshDatabase() {
        DialogKit kit;
        QPointer<SysSettings> dialog = kit.open();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("系统设置"));
        QVERIFY(dialog->isVisible());
        for (const char* name :
             {"KestavelSoft_AutoRun", "Peaceful", "SysBrightsproutNotice", "SysAdv", "SysBrightsproutNoticeAutoClose",
              "SysAdvAutoClose", "SysNewListAutoClose", "SysNoticeAutoClose"})
            QVERIFY2(!box(dialog, name)->isChecked(), name);
        for (const char* name : {"SysNewList", "SysNotice"}) {
            QVERIFY(box(dialog, name)->isChecked());
            QVERIFY(!box(dialog, name)->isEnabled());
        }
        for (const char* name : kLists) {
            QComboBox* l = list(dialog, name);
            QCOMPARE(l->count(), 100);
            QCOMPARE(l->currentText(), QStringLiteral("1分钟"));
            QCOMPARE(l->itemText(99), QStringLiteral("100分钟"));
            QCOMPARE(l->itemData(99).toInt(), 100);
        }

        save(dialog);
        QCOMPARE(kit.prompt.calls.size(), 1);
        QCOMPARE(kit.prompt.calls[0].text, QStringLiteral("恭喜您，设置保存成功！"));
        QCOMPARE(kit.prompt.calls[0].title, QStringLiteral("VantobelPlayTray"));
        QCOMPARE(kit.prompt.calls[0].icon, PromptIcon::Information);
        QCOMPARE(kit.stored("PopShow_SysBrightsproutNotice"), QStringLiteral("0"));
        QCOMPARE(kit.stored("PopShow_SysAdv"), QStringLiteral("0"));
        QCOMPARE(kit.stored("PopShow_SysNotice"), QStringLiteral("1"));
        QCOMPARE(kit.stored("PopShow_SysNewList"), QStringLiteral("1"));
        QCOMPARE(kit.stored("AllMessagePeaceful"), QStringLiteral("0"));
        QCOMPARE(kit.stored("PopAutoCloseTime_SysNotice"), QStringLiteral("1"));
        QCOMPARE(kit.autoRun.sets + kit.autoRun.removes, 0);
        QVERIFY(dialog->isVisible());
        delete dialog;
    }

    void savedValuesComeBack() {
        DialogKit kit;
        QPointer<SysSettings> dialog = kit.open();
        list(dialog, "SysAdvAutoCloseTime")->setCurrentIndex(14);
        QCOMPARE(list(dialog, "SysAdvAutoCloseTime")->currentText(), QStringLiteral("15分钟"));
        box(dialog, "Peaceful")->setChecked(true);
        box(dialog, "SysAdvAutoClose")->setChecked(true);
        box(dialog, "SysBrightsproutNotice")->setChecked(true);
        save(dialog);
        delete dialog;
        QCOMPARE(kit.stored("PopAutoCloseTime_SysAdv"), QStringLiteral("15"));
        QCOMPARE(kit.stored("PopAutoClose_SysAdv"), QStringLiteral("1"));

        QPointer<SysSettings> again = kit.open();
        QCOMPARE(list(again, "SysAdvAutoCloseTime")->currentText(), QStringLiteral("15分钟"));
        QVERIFY(box(again, "Peaceful")->isChecked());
        QVERIFY(box(again, "SysAdvAutoClose")->isChecked());
        QVERIFY(box(again, "SysBrightsproutNotice")->isChecked());
        QVERIFY(!box(again, "SysAdv")->isChecked());
        delete again;
    }

    void oddStoredValuesLeaveTheDesign() {
        DialogKit kit;
        kit.settings.WriteSetting("SoftSettings", "PopAutoCloseTime_SysNotice", "500");
        kit.settings.WriteSetting("SoftSettings", "PopAutoCloseTime_SysAdv", "abc");
        kit.settings.WriteSetting("SoftSettings", "PopShow_SysAdv", "yes");
        kit.settings.WriteSetting("SoftSettings", "AllMessagePeaceful", "2");
        QPointer<SysSettings> dialog = kit.open();
        QCOMPARE(list(dialog, "SysNoticeAutoCloseTime")->currentIndex(), -1);
        QCOMPARE(list(dialog, "SysAdvAutoCloseTime")->currentIndex(), -1);
        QVERIFY(!box(dialog, "SysAdv")->isChecked());
        QVERIFY(!box(dialog, "Peaceful")->isChecked());
        save(dialog);
        QCOMPARE(kit.stored("PopAutoCloseTime_SysNotice"), QStringLiteral("1"));
        QCOMPARE(kit.stored("PopAutoCloseTime_SysAdv"), QStringLiteral("1"));
        QCOMPARE(kit.prompt.calls.last().icon, PromptIcon::Information);
        delete dialog;
    }

    void autorunFollowsTheBox() {
        DialogKit kit;
        kit.autoRun.set = true;
        QPointer<SysSettings> dialog = kit.open();
        QVERIFY(box(dialog, "KestavelSoft_AutoRun")->isChecked());
        save(dialog);
        QCOMPARE(kit.autoRun.sets + kit.autoRun.removes, 0);
        box(dialog, "KestavelSoft_AutoRun")->setChecked(false);
        save(dialog);
        QCOMPARE(kit.autoRun.removes, 1);
        QVERIFY(!kit.autoRun.set);
        save(dialog);
        QCOMPARE(kit.autoRun.removes, 1);
        box(dialog, "KestavelSoft_AutoRun")->setChecked(true);
        save(dialog);
        QCOMPARE(kit.autoRun.sets, 1);
        delete dialog;
    }

    void failedSaveIsNotReportedAsSuccess() {
        DialogKit kit;
        QPointer<SysSettings> dialog = kit.open();
        kit.autoRun.works = false;
        box(dialog, "KestavelSoft_AutoRun")->setChecked(true);
        save(dialog);
        QCOMPARE(kit.prompt.calls.size(), 1);
        QVERIFY(kit.prompt.calls[0].text != QStringLiteral("恭喜您，设置保存成功！"));
        QCOMPARE(kit.prompt.calls[0].icon, PromptIcon::Critical);
        QVERIFY(kit.prompt.calls[0].text.contains(QStringLiteral("开机自启动")));

        kit.autoRun.works = true;
        sqlOn(kit.db(), "create trigger refuse before insert on SoftSettings begin select raise(abort,'no'); end;");
        box(dialog, "SysAdv")->setChecked(true);
        save(dialog);
        QCOMPARE(kit.prompt.calls.size(), 2);
        QCOMPARE(kit.prompt.calls[1].icon, PromptIcon::Critical);
        QVERIFY(kit.prompt.calls[1].text.contains(QStringLiteral("消息设置")));
        QVERIFY(!kit.prompt.calls[1].text.contains(QStringLiteral("开机自启动")));
        QCOMPARE(kit.stored("PopShow_SysAdv"), QStringLiteral("0"));
        delete dialog;
    }

    void aboutBox() {
        RecordingUrlOpener urls;
        QPointer<sAbout> about = new sAbout(AboutDeps{QStringLiteral("1.2.35"), urls});
        QCOMPARE(about->windowTitle(), QStringLiteral("关于 VantobelPlayTray"));
        QCOMPARE(about->versionText(), QStringLiteral("Vantobel育儿播放器(VantobelPlayTray) 1.2.35"));
        about->show();
        auto* site = about->findChild<QLabel*>("lblDisclaimer");
        QCOMPARE(site->text(), kVendorHomeAddress);
        QTest::mouseClick(site, Qt::LeftButton);
        QCOMPARE(urls.opened, QStringList{kVendorHomeAddress});
        QVERIFY(about->isVisible());

        QTest::keyClick(about, Qt::Key_Return);
        QVERIFY(!about->isVisible());
        flushDeletes();
        QVERIFY(about.isNull());

        QPointer<sAbout> second = new sAbout(AboutDeps{QString(), urls});
        QCOMPARE(second->versionText(), QStringLiteral("Vantobel育儿播放器(VantobelPlayTray) "));
        second->show();
        QTest::keyClick(second, Qt::Key_Escape);
        QVERIFY(!second->isVisible());
        flushDeletes();
        QVERIFY(second.isNull());
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
