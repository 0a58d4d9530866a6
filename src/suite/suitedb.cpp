#include "database.h"
#include "keptconnections.h"

#include "platform/platform.h"
#include "platform/runtime.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDriver>
#include <QThread>
#include <QUrl>

#include <sqlite3.h>

#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// Long enough for another workstation to finish any write the suite makes.
int lockWaitLimitMs = 10000;
// Between two tries at a lock: short enough that the window repaints smoothly.
constexpr int LockRetryMs = 20;

sqlite3 *nativeHandle(const QSqlDatabase &db)
{
    if (!db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

// Jet's UCase$: upper case text; Null stays Null.
void ucaseFunction(sqlite3_context *context, int, sqlite3_value **arguments)
{
    sqlite3_value *value = arguments[0];
    if (sqlite3_value_type(value) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const void *text = sqlite3_value_text16(value);
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const QString upper
        = QString::fromUtf16(static_cast<const char16_t *>(text), sqlite3_value_bytes16(value) / 2)
              .toUpper();
    sqlite3_result_text16(context, upper.utf16(), int(upper.size() * 2), SQLITE_TRANSIENT);
}

// Jet's Fix: the number truncated toward zero, of the same kind; Null stays Null.
void fixFunction(sqlite3_context *context, int, sqlite3_value **arguments)
{
    sqlite3_value *value = arguments[0];
    switch (sqlite3_value_numeric_type(value)) {
    case SQLITE_NULL:
        sqlite3_result_null(context);
        break;
    case SQLITE_INTEGER:
        sqlite3_result_int64(context, sqlite3_value_int64(value));
        break;
    case SQLITE_FLOAT:
        sqlite3_result_double(context, std::trunc(sqlite3_value_double(value)));
        break;
    default:
        sqlite3_result_error(context, "Type mismatch", -1);
        break;
    }
}

int registerJetFunctions(sqlite3 *handle)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function_v2(handle, "ucase$", 1, flags, nullptr, ucaseFunction, nullptr,
                                        nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(handle, "fix", 1, flags, nullptr, fixFunction, nullptr,
                                        nullptr, nullptr);
    return rc;
}

} // namespace

int setLockWaitLimit(int ms)
{
    return std::exchange(lockWaitLimitMs, ms);
}

// ---- The kept connections ----

struct SuiteDb::Kept
{
    QString path;
    QString name;
    QSqlDatabase db;
    // Whether the file could be written when opened: SQLite opens a write-protected file
    // read-only for good, so a change either way needs a new connection.
    bool writable = false;
    int users = 0;
    QElapsedTimer lockClock;
    bool waiting = false;
    std::map<QString, std::unique_ptr<QSqlQuery>> statements;

    ~Kept()
    {
        shut();
        // Every handle on the connection must be gone before Qt forgets its name.
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }

    void shut()
    {
        statements.clear();
        db.close();
        endWait();
    }

    void endWait()
    {
        if (std::exchange(waiting, false))
            endLockWait();
    }
};

namespace {

using Kept = SuiteDb::Kept;

// The kept connections by the file's full path. Only the window thread uses them. One
// still in use when dropped lives on with its users, closed, and goes with the last.
std::map<QString, std::shared_ptr<Kept>> &keptConnections()
{
    // Never destroyed: Qt's list of connections may be gone by then. The application's end
    // closes them.
    static auto *kept = new std::map<QString, std::shared_ptr<Kept>>;
    return *kept;
}

// Dropped connections whose last user let go, held until the next use: that user's queries
// may still be around, and Qt must not forget a connection in use.
std::vector<std::shared_ptr<Kept>> &letGoConnections()
{
    static auto *letGo = new std::vector<std::shared_ptr<Kept>>;
    return *letGo;
}

// A statement cache that grew this large holds one-off updates; it starts again.
constexpr qsizetype MaxPreparedStatements = 32;

void dropKept(std::map<QString, std::shared_ptr<Kept>>::iterator it)
{
    it->second->shut();
    keptConnections().erase(it);
}

void closeKeptConnections()
{
    auto &kept = keptConnections();
    while (!kept.empty())
        dropKept(kept.begin());
}

// SQLite's busy handler: waits for a lock while the window repaints.
int waitForLock(void *context, int attempt)
{
    auto *kept = static_cast<Kept *>(context);
    if (attempt == 0) {
        kept->lockClock.start();
        if (!std::exchange(kept->waiting, true))
            beginLockWait();
    }
    if (kept->lockClock.elapsed() >= lockWaitLimitMs || programEnding())
        return 0;
    // Not a full DoEvents: a key or click now could change what is being written.
    lockWaitTick();
    QThread::msleep(LockRetryMs);
    return 1;
}

// Whether the open connection still reads the file now at its path: one deleted, replaced
// or renamed since must not take writes that nobody will see.
bool stillCurrent(const Kept &kept)
{
    sqlite3 *handle = nativeHandle(kept.db);
    if (!kept.db.isOpen() || !handle)
        return false;
    int moved = 0;
    if (sqlite3_file_control(handle, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK)
        return false;
    return !moved && QFileInfo(kept.path).isWritable() == kept.writable;
}

std::shared_ptr<Kept> openKept(const QString &path, QSqlError &error)
{
    static std::atomic<quint64> serial { 0 };
    auto kept = std::make_shared<Kept>();
    kept->path = path;
    kept->name
        = u"suite-"_s + QFileInfo(path).fileName().toUpper() + u'-' + QString::number(++serial);
    kept->writable = QFileInfo(path).isWritable();
    kept->db = QSqlDatabase::addDatabase(u"QSQLITE"_s, kept->name);
    // Read-write without create: a file that vanished since the lookup must not come back
    // as an empty database.
    QUrl url = QUrl::fromLocalFile(path);
    url.setQuery(u"mode=rw"_s);
    kept->db.setConnectOptions(u"QSQLITE_OPEN_URI"_s);
    kept->db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    if (!kept->db.open()) {
        error = kept->db.lastError();
        return nullptr;
    }
    sqlite3 *handle = nativeHandle(kept->db);
    const int rc = handle ? registerJetFunctions(handle) : SQLITE_MISUSE;
    if (rc != SQLITE_OK) {
        error = QSqlError(u"Tallic"_s, u"Cannot register the Jet functions"_s,
                          QSqlError::ConnectionError, QString::number(rc));
        return nullptr;
    }
    // Another workstation's write lock is waited for rather than reported.
    sqlite3_busy_handler(handle, &waitForLock, kept.get());
    return kept;
}

// The kept connection of the file, opened when there is none or the one kept is stale.
std::shared_ptr<Kept> useKept(const QString &path, QSqlError &error)
{
    static bool closedAtEnd = false;
    if (!std::exchange(closedAtEnd, true))
        qAddPostRoutine([] {
            closeKeptConnections();
            letGoConnections().clear();
            closedAtEnd = false;
        });

    letGoConnections().clear();
    auto &kept = keptConnections();
    // Another working folder is another set of files: those of the last one are let go.
    const QString folder = QFileInfo(path).absolutePath();
    for (auto it = kept.begin(); it != kept.end();) {
        auto next = std::next(it);
        if (QFileInfo(it->first).absolutePath() != folder)
            dropKept(it);
        it = next;
    }
    const auto found = kept.find(path);
    if (found != kept.end()) {
        if (stillCurrent(*found->second))
            return found->second;
        dropKept(found);
    }
    std::shared_ptr<Kept> opened = openKept(path, error);
    if (opened)
        kept.emplace(path, opened);
    return opened;
}

// Leaves the connection as a closed file would be: no statement running, no transaction.
void settle(Kept &kept)
{
    sqlite3 *handle = nativeHandle(kept.db);
    if (!kept.db.isOpen() || !handle)
        return;
    for (sqlite3_stmt *stmt = sqlite3_next_stmt(handle, nullptr); stmt;
         stmt = sqlite3_next_stmt(handle, stmt)) {
        if (sqlite3_stmt_busy(stmt))
            sqlite3_reset(stmt);
    }
    if (!sqlite3_get_autocommit(handle))
        sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
}

} // namespace

void dropConnectionsOfMissingFiles()
{
    auto &kept = keptConnections();
    for (auto it = kept.begin(); it != kept.end();) {
        auto next = std::next(it);
        if (!QFileInfo::exists(it->first))
            dropKept(it);
        it = next;
    }
}

// ---- SuiteDb ----

SuiteDb::SuiteDb(const QString &fileName)
{
    const QString path = findInWorkingFolder(fileName);
    if (path.isEmpty()) {
        dropConnectionsOfMissingFiles();
        error_
            = layerError(JetError::FileNotFound, u"Could not find file '"_s + fileName + u"'."_s);
        return;
    }
    kept_ = useKept(path, error_);
    if (!kept_)
        return;
    ++kept_->users;
    wasOpen_ = true;
}

SuiteDb::~SuiteDb()
{
    close();
}

QString SuiteDb::connectionName() const
{
    return kept_ ? kept_->name : QString();
}

bool SuiteDb::isOpen() const
{
    return kept_ && kept_->db.isOpen();
}

QSqlQuery SuiteDb::newQuery() const
{
    QSqlQuery query(kept_ ? kept_->db : QSqlDatabase());
    query.setForwardOnly(true);
    return query;
}

QSqlQuery *SuiteDb::preparedQuery(const QString &sql)
{
    if (!isOpen()) {
        query(sql);
        return nullptr;
    }
    error_ = QSqlError();
    auto &statements = kept_->statements;
    const auto found = statements.find(sql);
    if (found != statements.end())
        return found->second.get();
    auto prepared = std::make_unique<QSqlQuery>(newQuery());
    if (!prepared->prepare(sql)) {
        error_ = prepared->lastError();
        return nullptr;
    }
    if (statements.size() >= MaxPreparedStatements)
        statements.clear();
    return statements.emplace(sql, std::move(prepared)).first->second.get();
}

QSqlQuery SuiteDb::query(const QString &sql)
{
    QSqlQuery query = newQuery();
    if (!isOpen()) {
        // A failed open keeps its own error; a database closed since (by close() or
        // DbCloseAll) is Jet's "object invalid or no longer set".
        if (wasOpen_)
            error_ = layerError(JetError::ObjectClosed, u"The database is closed."_s);
        return query;
    }
    if (query.exec(sql))
        error_ = QSqlError();
    else
        error_ = query.lastError();
    return query;
}

bool SuiteDb::exec(const QString &sql)
{
    QSqlQuery query = this->query(sql);
    const bool ok = !failed();
    query.finish();
    return ok;
}

bool SuiteDb::transaction()
{
    // The write lock is taken at once, so the wait for another workstation happens here
    // and not when a read inside the transaction would have to become a write.
    return exec(u"BEGIN IMMEDIATE"_s);
}

bool SuiteDb::commit()
{
    return exec(u"COMMIT"_s);
}

bool SuiteDb::rollback()
{
    return exec(u"ROLLBACK"_s);
}

void SuiteDb::close()
{
    if (!kept_)
        return;
    // The statements that waited for a lock are over by now.
    kept_->endWait();
    if (--kept_->users == 0)
        settle(*kept_);
    if (kept_.use_count() == 1)
        letGoConnections().push_back(std::move(kept_));
    kept_.reset();
}

void DbCloseAll()
{
    closeKeptConnections();
    DoEvents();
}

void DbFreeLocks()
{
    DoEvents();
}

} // namespace tallic
