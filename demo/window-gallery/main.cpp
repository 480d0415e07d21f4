// Shows one window with sample data, in the shipped skin, for a look at it:
//   window_gallery popup|messagebox|settings|about [seconds] [picture.png]
// Prints the native window id, then quits after the given seconds (default 8);
// with a picture file it saves the window's own rendering there first (this works
// without a display too: QT_QPA_PLATFORM=offscreen). Works on a copy of the built
// template database and the Skin folder beside the program.

#include "DesktopUrlOpener.h"
#include "HistoryTable.h"
#include "LocalConn.h"
#include "MessageBox.h"
#include "Notice.h"
#include "PopNotice.h"
#include "Seams.h"
#include "SettingsTable.h"
#include "Skin.h"
#include "SysPublicCls.h"
#include "SysSettings.h"
#include "SystemSeams.h"
#include "TrayState.h"
#include "UserBabyLoginMode.h"
#include "sAbout.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <pugixml.hpp>

namespace {
// The gallery only shows windows; nothing it does needs an answer.
class SilentPrompt : public Prompt {
public:
    void show(const QString&, const QString&, PromptIcon, PromptButtons buttons, Answered answered) override {
        if (answered)
            answered(buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::Yes);
    }
};

class NoAutoRun : public AutoRunStore {
public:
    bool IsAutoRunSet() const override { return true; }
    bool SetAutoRun() override { return true; }
    bool RemoveAutoRun() override { return true; }
};

std::unique_ptr<pugi::xml_document> sampleNotice() {
    auto doc = std::make_unique<pugi::xml_document>();
    doc->load_string("<Root><Notice><Title>春季亲子音乐会报名开始啦，名额有限</Title>"
                     "<Url>http://notice.example/n/1</Url><Pic></Pic>"
                     "<Brief>本周六上午在市少年宫举办亲子音乐会，欢迎带宝宝一起来听儿歌、做游戏。点击查看详情。</Brief>"
                     "<TypeStr>公告</TypeStr></Notice></Root>");
    return doc;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("popup");
    const int seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 8;
    const QString picture = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    // The skin of the program folder the gallery was built into, as the tray applies it.
    SkinEngine skin;
    QWidget skinHost;
    ApplySkin(skin, &skinHost, QCoreApplication::applicationDirPath() + QStringLiteral("/Skin/"));
    QTemporaryDir home;
    QDir().mkpath(home.path() + "/Users/All Users");
    if (!QFile::copy(QCoreApplication::applicationDirPath() + "/Users/All Users/Info.db",
                     home.path() + "/Users/All Users/Info.db")) {
        std::fprintf(stderr, "no template database beside the program\n");
        return 1;
    }
    qputenv("VANTOBEL_PLAY_HOME", home.path().toUtf8());

    TrayState state;
    UserBabyLoginMode user(state);
    SilentPrompt prompt;
    SystemClock clock;
    SystemRandom random;
    DesktopUrlOpener urls;
    LocalConn conn(user, prompt, clock);
    SettingsTable settings(conn);
    HistoryTable history(conn);
    SysPublicCls utils(clock, random);
    NoAutoRun autoRun;
    const QStringList types{"公告", "广告", "Brightsprout培养计划"};
    for (int i = 1; i <= 6; ++i) {
        history.StoreNotice(types[i % 3], QStringLiteral("第%1期育儿小课堂：宝宝的睡眠与儿歌").arg(i),
                            QStringLiteral("http://notice.example/n/%1").arg(i),
                            QStringLiteral("让宝宝在熟悉的旋律中入睡，本期介绍十首适合睡前播放的儿歌。"),
                            QDateTime(QDate(2009, 3, 5), QTime(8 + i, 30)), QStringLiteral("S%1").arg(i));
    }
    history.MarkReadBySNo("S2");

    QWidget* window = nullptr;
    if (which == QLatin1String("popup")) {
        PopNoticeDeps deps{settings, history, utils, urls, clock, nullptr, {}, {}};
        auto* pop = new PopNotice(deps, noticeFromDocument(*sampleNotice()));
        pop->show();
        window = pop;
    } else if (which == QLatin1String("messagebox")) {
        window = new MessageBox(MessageBoxDeps{history, urls, prompt, {}, {}});
        window->show();
    } else if (which == QLatin1String("settings")) {
        settings.WriteSetting("SoftSettings", "PopAutoCloseTime_SysAdv", "15");
        settings.WriteSetting("SoftSettings", "PopAutoClose_SysAdv", "1");
        settings.WriteSetting("SoftSettings", "PopShow_SysAdv", "1");
        auto* dialog = new SysSettings(SysSettingsDeps{settings, autoRun, prompt});
        dialog->load();
        window = dialog;
    } else {
        window = new sAbout(AboutDeps{QStringLiteral("1.2.35"), urls});
        window->show();
    }
    std::printf("%llu\n", static_cast<unsigned long long>(window->winId()));
    if (!picture.isEmpty()) {
        QTimer::singleShot(800, window, [window, picture] {
            if (!window->grab().save(picture))
                std::fprintf(stderr, "could not save %s\n", qPrintable(picture));
        });
    }
    std::fflush(stdout);
    // exit(), not quit(): quit() asks every window to close and the pop-up answers by sinking away.
    QTimer::singleShot(seconds * 1000, &app, [] { QCoreApplication::exit(0); });
    return app.exec();
}
