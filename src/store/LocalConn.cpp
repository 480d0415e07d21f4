#include "LocalConn.h"

#include "AppTitle.h"
#include "FailurePolicy.h"
#include "Log.h"
#include "ProgramFolder.h"
#include "Seams.h"
#include "SysPublicCls.h"
#include "UserBabyLoginMode.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <sqlite3.h>

namespace {

// Every statement runs on the interface thread: a lock held by another program is
// waited for only briefly, and the operation then fails (the next poll tries again).
constexpr int kBusyTimeoutMs = 250;
const QString kDbName = QStringLiteral("Info.db");
// No database file could be had (no template to copy); the user has been told.
constexpr int kNoDatabase = -1;

// A database made before the settings table existed gets it, once per file and run.
constexpr const char* kCreateSettings =
    "CREATE TABLE IF NOT EXISTS SoftSettings(FieldStr TEXT PRIMARY KEY, DataStr TEXT)";

bool isDamaged(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

struct StatementCloser {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

int bindValue(sqlite3_stmt* s, int index, const QVariant& v) {
    if (!v.isValid()) // an empty value goes in as empty text, as it did when spliced between apostrophes
        return sqlite3_bind_text(s, index, "", 0, SQLITE_STATIC);
    if (SysPublicCls::isNull(v))
        return sqlite3_bind_null(s, index);
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return sqlite3_bind_int64(s, index, v.toLongLong());
    case QMetaType::Float:
    case QMetaType::Double:
        return sqlite3_bind_double(s, index, v.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = v.toByteArray();
        return sqlite3_bind_blob(s, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    default: {
        const QByteArray text = v.toString().toUtf8();
        return sqlite3_bind_text(s, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    }
}

QVariant columnValue(sqlite3_stmt* s, int column) {
    switch (sqlite3_column_type(s, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(s, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(s, column));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, column)),
                                          sqlite3_column_bytes(s, column)));
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char*>(sqlite3_column_blob(s, column)), sqlite3_column_bytes(s, column)));
    default:
        return QVariant::fromValue(nullptr);
    }
}

// Prepares one statement and binds the values; the SQLite result code of the first failure.
int prepare(sqlite3* db, const QString& sql, const QVariantList& params, Statement& out) {
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &raw, nullptr);
    out.reset(raw);
    if (rc != SQLITE_OK)
        return rc;
    if (!raw) // nothing but white space or comments
        return SQLITE_MISUSE;
    for (int i = 0; i < params.size(); ++i) {
        rc = bindValue(raw, i + 1, params.at(i));
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

} // namespace

LocalConn::LocalConn(const UserBabyLoginMode& user, Prompt& prompt, const Clock& clock)
    : m_user(user), m_prompt(prompt), m_clock(clock) {}

LocalConn::~LocalConn() = default;

QString LocalConn::databasePath() const {
    return m_user.UserFolder() + kDbName;
}

QString LocalConn::templatePath() {
    return programPath(QStringLiteral("Users/All Users/") + kDbName);
}

QString LocalConn::missingTemplateMessage() {
    return QStringLiteral("Err.请关闭后重新打开！");
}

QString LocalConn::damagedMessage(const QString& movedTo) {
    return QStringLiteral("本地数据库已损坏，原文件已另存为“%1”，并已重新建立。").arg(movedTo);
}

QString LocalConn::unwritableMessage(const QString& path) {
    return QStringLiteral("消息记录无法保存到“%1”，请检查该文件和所在文件夹是否可写、磁盘空间是否已满。")
        .arg(QDir::toNativeSeparators(path));
}

void LocalConn::tell(const QString& text, PromptIcon icon) {
    if (m_waitingTexts.contains(text))
        return;
    m_waitingTexts.insert(text);
    // Never from inside the operation: the caller may be a window still being built,
    // or a timer whose window a prompt's wait could delete.
    QTimer::singleShot(0, m_context.get(), [this, text, icon] {
        m_waitingTexts.remove(text);
        m_prompt.show(text, kAppTitle, icon);
    });
}

void LocalConn::reportWriteFailure() {
    const int primary = m_lastResult & 0xff;
    if (m_lastResult == kNoDatabase)
        return; // the missing database was told already
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        if (!m_loggedBusy)
            qCWarning(lcStore) << "the notice history is locked by another program:" << databasePath();
        m_loggedBusy = true;
        return;
    }
    const QString path = databasePath();
    if (m_toldUnwritable.contains(path))
        return;
    m_toldUnwritable.insert(path);
    qCWarning(lcStore) << "the notice history cannot be written:" << path << sqlite3_errstr(m_lastResult);
    tell(unwritableMessage(path), PromptIcon::Exclamation);
}

bool LocalConn::setLinkAside(const QString& path) {
    const QString stamped = path + QStringLiteral(".link-") + m_clock.now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = stamped;
    for (int n = 1; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = stamped + QLatin1Char('-') + QString::number(n);
    // rename moves the link itself; what it points to stays untouched.
    if (!QFile::rename(path, aside))
        return false;
    m_checkedFiles.remove(path);
    qCWarning(lcStore) << "the notice history was a symbolic link, kept aside as" << aside;
    return true;
}

sqlite3* LocalConn::open(const QString& folder, const QString& path) {
    // The history is never opened through a link: whoever planted it would choose the
    // database the user's notices go to. The link is kept aside and a fresh copy of the
    // template takes its place.
    if (QFileInfo(path).isSymLink() && !setLinkAside(path)) {
        m_lastResult = SQLITE_CANTOPEN;
        return nullptr;
    }
    // An empty file is what an interrupted copy leaves; it is no database of ours, and
    // opening it would let SQLite make a database without our tables there.
    const auto missing = [&] { return !SysPublicCls::SysFile(path) || QFileInfo(path).size() == 0; };
    if (missing()) {
        m_checkedFiles.remove(path);
        resumeNext(lcStore, "copy the template database",
                   [&] { SysPublicCls::CopyFile(templatePath(), folder, kDbName); });
    }
    if (missing()) {
        m_lastResult = kNoDatabase;
        tell(missingTemplateMessage(), PromptIcon::Information);
        return nullptr;
    }
    sqlite3* db = nullptr;
    // SQLite refuses a link anywhere in the path it is given; the folders may well be
    // reached through links of the user's own (a home moved to another disk), so they
    // are resolved first and only the file itself must not be one.
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    const QString openPath = realFolder.isEmpty() ? path : realFolder + QLatin1Char('/') + kDbName;
    // Never SQLITE_OPEN_CREATE: a database that is not there comes from the template only.
    const int rc = sqlite3_open_v2(QFile::encodeName(openPath).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (rc != SQLITE_OK) {
        m_lastResult = rc;
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return db;
}

bool LocalConn::moveAside(const QString& path) {
    if (m_templateDamaged)
        return false;
    const QString stamped =
        path + QStringLiteral(".damaged-") + m_clock.now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = stamped;
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = stamped + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, aside))
        return false;
    // A journal left beside the damaged file belongs to it, not to the fresh copy.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const QString side = path + QLatin1String(suffix);
        if (QFileInfo::exists(side))
            QFile::rename(side, aside + QLatin1String(suffix));
    }
    m_checkedFiles.remove(path);
    if (!m_loggedDamaged)
        qCWarning(lcStore) << "damaged database moved aside to" << aside;
    m_loggedDamaged = true;
    // Without a template nothing is made anew; the user hears of the missing template instead.
    if (!m_toldDamaged && SysPublicCls::SysFile(templatePath())) {
        m_toldDamaged = true;
        tell(damagedMessage(QFileInfo(aside).fileName()), PromptIcon::Exclamation);
    }
    return true;
}

// SQLITE_OK when the file is a database of ours, SQLITE_NOTADB when it has no
// HistoryNews (then it is treated as damaged), else the failure.
int LocalConn::checkTables(sqlite3* db, const QString& path) {
    if (m_checkedFiles.contains(path))
        return SQLITE_OK;
    Statement statement;
    int rc = prepare(db, QStringLiteral("select lower(name) from sqlite_master where type='table'"), {}, statement);
    bool history = false;
    bool settings = false;
    while (rc == SQLITE_OK && (rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        const QString name = columnValue(statement.get(), 0).toString();
        history = history || name == QLatin1String("historynews");
        settings = settings || name == QLatin1String("softsettings");
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE && rc != SQLITE_OK)
        return rc;
    if (!history)
        return SQLITE_NOTADB;
    if (!settings) {
        rc = sqlite3_exec(db, kCreateSettings, nullptr, nullptr, nullptr);
        if (isDamaged(rc))
            return rc;
        // A file that cannot take the table is still read; it is tried again next time.
        if (rc != SQLITE_OK)
            return SQLITE_OK;
    }
    m_checkedFiles.insert(path);
    return SQLITE_OK;
}

bool LocalConn::run(const std::function<int(sqlite3*)>& work) {
    const QString folder = m_user.UserFolder();
    const QString path = folder + kDbName;
    for (int attempt = 0; attempt < 2; ++attempt) {
        sqlite3* db = open(folder, path);
        if (!db)
            return false;
        int rc = checkTables(db, path);
        if (rc == SQLITE_OK)
            rc = work(db);
        sqlite3_close_v2(db);
        m_lastResult = rc;
        if (rc == SQLITE_OK)
            return true;
        if (!isDamaged(rc))
            return false;
        if (attempt > 0) {
            m_templateDamaged = true;
            return false;
        }
        if (!moveAside(path))
            return false;
    }
    return false;
}

bool LocalConn::Execute(const QString& sql, const QVariantList& params, qint64* changes) {
    if (changes)
        *changes = 0;
    return run([&](sqlite3* db) {
        Statement statement;
        int rc = prepare(db, sql, params, statement);
        if (rc != SQLITE_OK)
            return rc;
        do
            rc = sqlite3_step(statement.get());
        while (rc == SQLITE_ROW);
        if (rc != SQLITE_DONE)
            return rc;
        if (changes)
            *changes = sqlite3_changes64(db);
        return SQLITE_OK;
    });
}

QVariant LocalConn::ExecuteSql(const QString& sql, const QVariantList& params, bool* ok) {
    QVariant value;
    const bool ran = run([&](sqlite3* db) {
        value = QVariant();
        Statement statement;
        int rc = prepare(db, sql, params, statement);
        if (rc != SQLITE_OK)
            return rc;
        rc = sqlite3_step(statement.get());
        if (rc == SQLITE_ROW) {
            value = columnValue(statement.get(), 0);
            return SQLITE_OK;
        }
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    });
    if (ok)
        *ok = ran;
    return ran ? value : QVariant();
}

void LocalConn::ExecuteBatch(const QString& sql) {
    const QByteArray batch = (QStringLiteral("begin;") + sql + QStringLiteral("commit")).toUtf8();
    run([&](sqlite3* db) {
        const int rc = sqlite3_exec(db, batch.constData(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK && !sqlite3_get_autocommit(db))
            sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
        return rc;
    });
}

QList<QVariantList> LocalConn::QuerySql(const QString& sql, const QVariantList& params) {
    // Pending events run first, as the tray's other waits let them; every statement
    // opens its own connection, so one run in between cannot disturb this one.
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    QList<QVariantList> rows;
    const bool ok = run([&](sqlite3* db) {
        rows.clear();
        Statement statement;
        int rc = prepare(db, sql, params, statement);
        if (rc != SQLITE_OK)
            return rc;
        const int columns = sqlite3_column_count(statement.get());
        while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
            QVariantList row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c)
                row.append(columnValue(statement.get(), c));
            rows.append(row);
        }
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    });
    if (!ok)
        rows.clear();
    return rows;
}
