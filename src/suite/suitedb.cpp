#include "database.h"
#include "datasource.h"
#include "sqlitefiles.h"

#include "platform/platform.h"
#include "platform/runtime.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <map>
#include <memory>
#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// Long enough for another workstation to finish any write the suite makes, and for a
// database server to restart.
int lockWaitLimitMs = 10000;
// Another workstation's commit holds the lock for a millisecond or so: for a while the lock
// is tried again that soon, so that a short wait ends when the lock is free. A wait that
// lasts is shown, and tried at the pace of the repaints.
constexpr int LockPollMs = 1;
constexpr int LockPollingMs = 200;
// A wait longer than this is shown: the busy pointer, the window repainting.
constexpr int LockRetryMs = 20;
// Between two tries at a server that is not back yet.
constexpr int ReconnectRetryMs = 100;
// A server that answers but drops the connection again and again is given up on.
constexpr int MaxReconnects = 3;

} // namespace

int setLockWaitLimit(int ms)
{
    return std::exchange(lockWaitLimitMs, ms);
}

// ---- The kept connections ----

struct SuiteDb::Kept
{
    QString key; // the file's full path, or the server's identity and the schema
    DataSource source;
    QString fileName;
    QString name;
    QSqlDatabase db;
    // Whether the file could be written when opened: SQLite opens a write-protected file
    // read-only for good, so a change either way needs a new connection.
    bool writable = false;
    bool inTransaction = false;
    // Closed by DbCloseAll or for another set of databases: never opened again.
    bool shutDown = false;
    int users = 0;
    QElapsedTimer lockClock;
    bool waiting = false;
    std::map<QString, std::unique_ptr<QSqlQuery>> statements;

    bool onServer() const { return source.onServer(); }

    ~Kept()
    {
        shut();
        // Every handle on the connection must be gone before Qt forgets its name.
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }

    void shut()
    {
        shutDown = true;
        statements.clear();
        if (!onServer())
            forgetStatements(db);
        db.close();
        inTransaction = false;
        endWait();
    }

    void beginWait()
    {
        if (!std::exchange(waiting, true))
            beginLockWait();
    }

    void endWait()
    {
        if (std::exchange(waiting, false))
            endLockWait();
    }
};

namespace {

using Kept = SuiteDb::Kept;

using KeptMap = std::map<QString, std::shared_ptr<Kept>>;

// The kept connections by key. Only the window thread uses them. One still in use when
// dropped lives on with its users, closed, and goes with the last.
KeptMap &keptConnections()
{
    // Never destroyed: Qt's list of connections may be gone by then. The application's end
    // closes them.
    static auto *kept = new KeptMap;
    return *kept;
}

// Dropped connections whose last user let go, held until the next use: that user's queries
// may still be around, and Qt must not forget a connection in use.
std::vector<std::shared_ptr<Kept>> &letGoConnections()
{
    static auto *letGo = new std::vector<std::shared_ptr<Kept>>;
    return *letGo;
}

void dropKept(KeptMap::iterator it)
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

// Lets go of the kept connections whose files are no longer on disk: a file put back
// later is opened afresh.
void dropConnectionsOfMissingFiles()
{
    auto &kept = keptConnections();
    for (auto it = kept.begin(); it != kept.end();) {
        auto next = std::next(it);
        if (!it->second->onServer() && !QFileInfo::exists(it->first)) {
            leaveLogOnClose(it->second->db);
            dropKept(it);
        }
        it = next;
    }
}

// SQLite's busy handler: waits for a lock while the window repaints.
int waitForLock(void *context, int attempt)
{
    auto *kept = static_cast<Kept *>(context);
    if (attempt == 0)
        kept->lockClock.start();
    const qint64 waited = kept->lockClock.elapsed();
    if (waited >= lockWaitLimitMs || programEnding())
        return 0;
    if (waited >= LockRetryMs) {
        kept->beginWait();
        // Not a full DoEvents: a key or click now could change what is being written.
        lockWaitTick();
    }
    QThread::msleep(waited < LockPollingMs ? LockPollMs : LockRetryMs);
    return 1;
}

// Whether the open connection still reaches the database: a file deleted, replaced or
// renamed since must not take writes that nobody will see; a server connection that broke
// is opened afresh.
bool stillCurrent(const Kept &kept)
{
    if (kept.onServer())
        return kept.db.isOpen();
    return kept.db.isOpen() && !fileHasMoved(kept.db)
        && QFileInfo(kept.key).isWritable() == kept.writable;
}

// What each connection of the program does beyond the common set-up: another workstation's
// lock is waited for rather than reported, the window repainting meanwhile. The server
// waits for a lock a short while only, so that the layer can repaint between tries.
bool setUpKept(Kept &kept, QSqlError &error)
{
    if (!kept.onServer()) {
        setLockWait(kept.db, &waitForLock, &kept);
        checkpointWhenIdle(kept.db);
        return true;
    }
    QSqlQuery query(kept.db);
    if (query.exec(u"set lock_timeout = "_s + QString::number(ServerLockSliceMs)))
        return true;
    error = serverFailure(query.lastError());
    query = QSqlQuery();
    kept.db.close();
    return false;
}

std::shared_ptr<Kept> openKept(const DataSource &source, const QString &fileName,
                               const QString &key, QSqlError &error)
{
    static std::atomic<quint64> serial { 0 };
    auto kept = std::make_shared<Kept>();
    kept->key = key;
    kept->source = source;
    kept->fileName = fileName;
    kept->name = u"suite-"_s + fileName.toUpper() + u'-' + QString::number(++serial);
    if (!source.onServer())
        kept->writable = QFileInfo(key).isWritable();
    kept->db = openSuiteDatabase(kept->name, source, fileName, Access::ReadWrite, error);
    if (!kept->db.isOpen() || !setUpKept(*kept, error))
        return nullptr;
    return kept;
}

// The kept connection of the database, opened when there is none or the one kept is stale.
std::shared_ptr<Kept> useKept(const QString &fileName, QSqlError &error)
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
    // Another working folder, or a server named anew, is another set of databases: those
    // of the last one are let go.
    const DataSource source = currentDataSource();
    const QString identity = source.identity();
    for (auto it = kept.begin(); it != kept.end();) {
        auto next = std::next(it);
        if (it->second->source.identity() != identity)
            dropKept(it);
        it = next;
    }
    QString key;
    if (source.onServer()) {
        key = identity + u'/' + schemaOf(fileName);
    } else {
        key = findInWorkingFolder(fileName);
        if (key.isEmpty()) {
            dropConnectionsOfMissingFiles();
            error = missingDatabase(fileName);
            return nullptr;
        }
    }
    const auto found = kept.find(key);
    if (found != kept.end()) {
        if (stillCurrent(*found->second))
            return found->second;
        if (!found->second->onServer())
            leaveLogOnClose(found->second->db);
        dropKept(found);
    }
    std::shared_ptr<Kept> opened = openKept(source, fileName, key, error);
    if (opened)
        kept.emplace(key, opened);
    return opened;
}

// Leaves the connection as a closed database would be: no statement running, no
// transaction.
void settle(Kept &kept)
{
    if (!kept.onServer()) {
        settleFile(kept.db);
    } else if (kept.inTransaction && kept.db.isOpen()) {
        QSqlQuery(kept.db).exec(u"rollback"_s);
    }
    kept.inTransaction = false;
}

} // namespace

// ---- SuiteDb ----

SuiteDb::SuiteDb(const QString &fileName)
{
    kept_ = useKept(fileName, error_);
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
    // A server connection lost to a restart is still this object's: it opens again.
    return kept_ && !kept_->shutDown && (kept_->db.isOpen() || kept_->onServer());
}

bool SuiteDb::missing() const
{
    return failed() && jetErrorNumber(error_) == JetError::FileNotFound;
}

QSqlQuery SuiteDb::newQuery() const
{
    QSqlQuery query(kept_ ? kept_->db : QSqlDatabase());
    query.setForwardOnly(true);
    return query;
}

QSqlQuery SuiteDb::query(const QString &sql)
{
    if (!isOpen()) {
        // A failed open keeps its own error; a database closed since (by close() or
        // DbCloseAll) is Jet's "object invalid or no longer set".
        if (wasOpen_)
            error_ = layerError(JetError::ObjectClosed, u"The database is closed."_s);
        return newQuery();
    }
    if (kept_->onServer())
        return serverQuery(serverStatement(sql), Retry::Allowed);
    QSqlQuery query = newQuery();
    if (query.exec(sql))
        error_ = QSqlError();
    else
        error_ = query.lastError();
    return query;
}

bool SuiteDb::execPrepared(const QString &sql, const QVariantList &values)
{
    if (!isOpen()) {
        query(sql);
        return false;
    }
    // A server plans a statement this small in no time, and a plan kept for the
    // connection's life would go on writing to a table renamed or replaced since.
    if (kept_->onServer()) {
        serverQuery(serverStatement(sql, values, kept_->db), Retry::Allowed);
        return !failed();
    }
    return execBound(kept_->db, sql, values, error_);
}

bool SuiteDb::serverExec(const QString &sql, QSqlError &error)
{
    QSqlQuery query = newQuery();
    if (query.exec(sql))
        return true;
    error = query.lastError();
    return false;
}

QSqlQuery SuiteDb::serverQuery(const QString &sql, Retry retry)
{
    Kept &kept = *kept_;
    // Inside a transaction a failed statement is undone alone, as on SQLite; the server
    // would otherwise refuse every statement after it until the transaction ends.
    const bool guarded = kept.inTransaction;
    const auto giveUp = [&](const QSqlError &failure) {
        kept.statements.clear();
        kept.db.close();
        kept.inTransaction = false;
        error_ = failure;
    };
    QElapsedTimer lockClock;
    int reconnects = 0;
    for (;;) {
        if (!kept.db.isOpen()) {
            // A transaction or its end cannot be carried over to a new connection.
            if (guarded || retry == Retry::Never || ++reconnects > MaxReconnects) {
                giveUp(layerError(JetError::NetworkError,
                                  u"The connection to the database server was lost."_s));
                return newQuery();
            }
            if (!reopen())
                return newQuery();
        }
        QSqlError failure;
        QSqlQuery query = newQuery();
        if (!guarded || serverExec(u"savepoint tallic_statement"_s, failure)) {
            if (!query.exec(sql))
                failure = query.lastError();
            else if (!guarded || serverExec(u"release savepoint tallic_statement"_s, failure)) {
                error_ = QSqlError();
                return query;
            }
        }
        if (isConnectionLost(failure, kept.db)) {
            if (guarded || retry == Retry::Never) {
                giveUp(serverFailure(failure));
                return query;
            }
            kept.statements.clear();
            kept.db.close();
            continue;
        }
        QSqlError ignored;
        if (guarded)
            serverExec(u"rollback to savepoint tallic_statement"_s, ignored);
        if (isServerLockFailure(failure) && !programEnding()) {
            if (!lockClock.isValid())
                lockClock.start();
            if (lockClock.elapsed() < lockWaitLimitMs) {
                kept.beginWait();
                lockWaitTick();
                continue;
            }
        }
        error_ = serverFailure(failure);
        // A schema dropped or renamed since the connection was opened is a missing
        // database; the connection goes, so that the next use looks again.
        if (jetErrorNumber(error_) == JetError::NoSuchTable
            && !schemaExists(kept.db, kept.fileName)) {
            error_ = missingDatabase(kept.fileName);
            auto &map = keptConnections();
            const auto it = map.find(kept.key);
            if (it != map.end() && it->second == kept_)
                map.erase(it);
        }
        return query;
    }
}

bool SuiteDb::reopen()
{
    Kept &kept = *kept_;
    kept.statements.clear();
    kept.db.close();
    // A restart takes the server a few seconds: it is waited for as a lock is.
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QSqlError failure;
        if (openOnServer(kept.db, kept.fileName, Access::ReadWrite, failure)
            && setUpKept(kept, failure))
            return true;
        // A server that answers without the schema will not grow it by waiting.
        const bool answered
            = jetErrorNumber(failure) == JetError::FileNotFound && failure.driverText().isEmpty();
        if (answered || clock.elapsed() >= lockWaitLimitMs || programEnding()) {
            error_ = failure;
            return false;
        }
        kept.beginWait();
        lockWaitTick();
        QThread::msleep(ReconnectRetryMs);
    }
}

bool SuiteDb::exec(const QString &sql)
{
    // A statement whose rows nobody reads needs no query object on a file.
    if (isOpen() && !kept_->onServer())
        return execBound(kept_->db, sql, {}, error_);
    QSqlQuery query = this->query(sql);
    const bool ok = !failed();
    query.finish();
    return ok;
}

bool SuiteDb::transaction()
{
    if (!isOpen() || !kept_->onServer()) {
        // The write lock is taken at once, so the wait for another workstation happens
        // here and not when a read inside the transaction would have to become a write.
        const bool begun = exec(u"BEGIN IMMEDIATE"_s);
        if (begun)
            kept_->inTransaction = true;
        return begun;
    }
    serverQuery(u"begin"_s, Retry::Allowed);
    kept_->inTransaction = !failed();
    return !failed();
}

bool SuiteDb::endTransaction(const QString &sql)
{
    if (!isOpen() || !kept_->onServer()) {
        const bool ended = exec(sql);
        if (isOpen() && (ended || sql == u"ROLLBACK"_s))
            kept_->inTransaction = false;
        return ended;
    }
    if (!kept_->inTransaction) {
        // The transaction went with a lost connection: nothing of it was stored.
        if (sql == u"ROLLBACK"_s)
            return true;
        error_ = layerError(JetError::NetworkError,
                            u"The connection to the database server was lost."_s);
        return false;
    }
    kept_->inTransaction = false;
    serverQuery(sql, Retry::Never);
    return !failed();
}

bool SuiteDb::commit()
{
    return endTransaction(u"COMMIT"_s);
}

bool SuiteDb::rollback()
{
    return endTransaction(u"ROLLBACK"_s);
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
