// Opening the message box on a page of twenty notices whose fields are as long as one
// notice may make them, until the window is laid out and painted. The title is written
// to the database at the given length (the notice had 990 KB) and cut when read;
// the text is Chinese (a break at every character) or one unbroken Latin word.

#include "HistoryTable.h"
#include "LocalConn.h"
#include "MessageBox.h"
#include "NoticeFields.h"
#include "Seams.h"
#include "SystemSeams.h"
#include "TrayState.h"
#include "UserBabyLoginMode.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

class SilentPrompt : public Prompt {
public:
    void show(const QString&, const QString&, PromptIcon, PromptButtons, Answered) override {}
};

class NoUrls : public UrlOpener {
public:
    bool openUrl(const QString&) override { return true; }
};

struct BoxHome {
    QTemporaryDir dir;
    TrayState state;
    UserBabyLoginMode user{state};
    SilentPrompt prompt;
    NoUrls urls;
    SystemClock clock;
    LocalConn conn{user, prompt, clock};
    HistoryTable history{conn};

    BoxHome() {
        qputenv("VANTOBEL_PLAY_HOME", dir.path().toUtf8());
        QDir().mkpath(dir.path() + "/Users/All Users");
        QFile::copy(VT_TEMPLATE_DB, dir.path() + "/Users/All Users/Info.db");
        state.PlayerType = "ParentPlayer";
    }

    // Twenty rows for the user "<kind>-<length>", written whole as an older program might have.
    void use(bool chinese, int titleLength) {
        state.ParentUser.Field[1] = QStringLiteral("%1-%2").arg(chinese ? "cjk" : "word").arg(titleLength);
        if (conn.ExecuteSql("select count(*) from HistoryNews").toInt() > 0)
            return;
        const QChar letter = chinese ? QChar(0x8bf4) : QChar(u'w');
        const QByteArray title = QString(titleLength, letter).toUtf8();
        const QByteArray url =
            (QStringLiteral("http://example.com/") + QString(NoticeFields::kAddress, QChar(u'u'))).toUtf8();
        const QByteArray type = QString(NoticeFields::kType, letter).toUtf8();
        const QByteArray brief = QString(NoticeFields::kStoredBrief, letter).toUtf8();
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(conn.databasePath()).constData(), &db);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db,
                           "Insert Into HistoryNews(TypeStr,Title,UrlStr,Brief,AddTime,SNo,Status,PhotoPath) "
                           "Values(?,?,?,?,'2026-01-01 00:00:00',?,0,?)",
                           -1, &insert, nullptr);
        for (int i = 0; i < HistoryTable::kPageSize; ++i) {
            const QByteArray serial = QByteArray::number(i);
            sqlite3_bind_text(insert, 1, type.constData(), int(type.size()), SQLITE_STATIC);
            sqlite3_bind_text(insert, 2, title.constData(), int(title.size()), SQLITE_STATIC);
            sqlite3_bind_text(insert, 3, url.constData(), int(url.size()), SQLITE_STATIC);
            sqlite3_bind_text(insert, 4, brief.constData(), int(brief.size()), SQLITE_STATIC);
            sqlite3_bind_text(insert, 5, serial.constData(), int(serial.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 6, url.constData(), int(url.size()), SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_close(db);
    }
};

BoxHome& home() {
    static BoxHome h;
    return h;
}

void BM_OpenMessageBox(benchmark::State& st) {
    home().use(st.range(0) != 0, int(st.range(1)));
    for (auto _ : st) {
        MessageBoxDeps deps{home().history, home().urls, home().prompt, [] {}, [](QWidget*) {}};
        auto box = std::make_unique<MessageBox>(deps);
        box->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(box->grab()); // lays the page out and paints it
    }
}

} // namespace

BENCHMARK(BM_OpenMessageBox)
    ->ArgNames({"chinese", "title"})
    ->Args({1, NoticeFields::kTitle})
    ->Args({0, NoticeFields::kTitle})
    ->Args({1, 990'000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
