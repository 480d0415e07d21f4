// The history statements the tray runs most (a page of the message box, the duplicate
// test of every poll, the unread count of the icon) on histories of growing size. Each
// statement opens the user's Info.db anew, as the program does.

#include "HistoryTable.h"
#include "LocalConn.h"
#include "Seams.h"
#include "SystemSeams.h"
#include "TrayState.h"
#include "UserBabyLoginMode.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <sqlite3.h>

namespace {

class SilentPrompt : public Prompt {
public:
    void show(const QString&, const QString&, PromptIcon, PromptButtons, Answered) override {}
};

// One program folder for the run; one user per history size, filled once.
struct BenchHome {
    QTemporaryDir dir;
    TrayState state;
    UserBabyLoginMode user{state};
    SilentPrompt prompt;
    SystemClock clock;
    LocalConn conn{user, prompt, clock};
    HistoryTable history{conn};
    std::map<int, bool> filled;

    BenchHome() {
        qputenv("VANTOBEL_PLAY_HOME", dir.path().toUtf8());
        QDir().mkpath(dir.path() + "/Users/All Users");
        QFile::copy(VT_TEMPLATE_DB, dir.path() + "/Users/All Users/Info.db");
        state.PlayerType = "ParentPlayer";
    }

    // Makes the user "rows<N>" current, with N notices, one in twenty unread.
    void use(int rows) {
        state.ParentUser.Field[1] = QStringLiteral("rows%1").arg(rows);
        if (filled[rows])
            return;
        filled[rows] = true;
        conn.ExecuteSql("select 1"); // the template copy
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(conn.databasePath()).constData(), &db);
        sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db,
                           "Insert Into HistoryNews(TypeStr,Title,UrlStr,Brief,AddTime,SNo,Status,PhotoPath) "
                           "Values('公告',?,?,?,?,?,?,'')",
                           -1, &insert, nullptr);
        const QDateTime start(QDate(2000, 1, 1), QTime(0, 0));
        const QByteArray brief = QString(100, QChar(0x8bf4)).toUtf8();
        for (int i = 0; i < rows; ++i) {
            const QByteArray title = QStringLiteral("通知 Notice %1").arg(i).toUtf8();
            const QByteArray url = QStringLiteral("http://example.com/news/%1.html").arg(i).toUtf8();
            const QByteArray time = start.addSecs(qint64(i) * 300).toString("yyyy-MM-dd HH:mm:ss").toUtf8();
            const QByteArray serial = QStringLiteral("SNo%1").arg(i).toUtf8();
            sqlite3_bind_text(insert, 1, title.constData(), int(title.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, url.constData(), int(url.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, brief.constData(), int(brief.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 4, time.constData(), int(time.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 5, serial.constData(), int(serial.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 6, i % 20 == 0 ? 0 : 1);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
};

BenchHome& home() {
    static BenchHome h;
    return h;
}

void BM_PageOne(benchmark::State& st) {
    home().use(int(st.range(0)));
    for (auto _ : st)
        benchmark::DoNotOptimize(home().history.Page(0));
}

void BM_PageFifty(benchmark::State& st) {
    home().use(int(st.range(0)));
    for (auto _ : st)
        benchmark::DoNotOptimize(home().history.Page(49 * HistoryTable::kPageSize));
}

void BM_DuplicateTest(benchmark::State& st) {
    const int rows = int(st.range(0));
    home().use(rows);
    // A stored notice in other letter case, and a new one.
    const QString seenTitle = QStringLiteral("通知 NOTICE %1").arg(rows / 2);
    const QString seenUrl = QStringLiteral("HTTP://EXAMPLE.COM/news/%1.html").arg(rows / 2);
    bool flip = false;
    for (auto _ : st) {
        flip = !flip;
        benchmark::DoNotOptimize(flip ? home().history.IsSeen(seenTitle, seenUrl)
                                      : home().history.IsSeen("通知 brand new", "http://example.com/new"));
    }
}

void BM_UnreadCount(benchmark::State& st) {
    home().use(int(st.range(0)));
    for (auto _ : st)
        benchmark::DoNotOptimize(home().history.HistoryCount(0));
}

} // namespace

BENCHMARK(BM_PageOne)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageFifty)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DuplicateTest)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnreadCount)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // QuerySql lets pending events run, as in the program
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
