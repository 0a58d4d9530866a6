#include "database.h"

#include "basic/folders.h"
#include "datasource.h"
#include "kept.h"
#include "logsync.h"
#include "sqlitefiles.h"
#include "storehost.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QSqlRecord>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <map>
#include <memory>
#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

using Kept = SuiteDb::Kept;

namespace {

// Whether a value is text holding a NUL character: a server cannot store one, so neither
// engine is given one.
bool holdsNul(const QVariantList &values)
{
    for (const QVariant &value : values) {
        if (value.typeId() == QMetaType::QString && value.toString().contains(QChar(0)))
            return true;
    }
    return false;
}

QSqlError nulRefused()
{
    return layerError(JetError::Refused, u"A text to be stored holds a NUL character."_s);
}

// Before a connection's first write to the daily file: a short log is given its working
// length. That file takes a commit for every chit all day; the others take a few writes a
// session, which a longer log would cost more than it saves.
void lengthenLogOnce(SuiteDb::Kept &kept)
{
    if (kept.onServer() || std::exchange(kept.logLengthened, true))
        return;
    if (schemaOf(kept.fileName) == u"daily"_s)
        lengthenLog(kept.db);
}

// Before a write outside a transaction, or a transaction's start, on a file: one whose log
// failed a sync is made safe first (logsync.h); false, with the disk error, while it cannot.
bool readyToWrite(const SuiteDb::Kept &kept, QSqlError &error)
{
    const Result<void> ready = secureBeforeWrite(kept.db);
    if (!ready)
        error = layerError(ready.failure().number, ready.failure().description);
    return ready.ok();
}

} // namespace

// ---- SuiteDb ----

SuiteDb::SuiteDb(const QString &fileName)
    : fileName_(fileName)
{
}

SuiteDb::~SuiteDb()
{
    close();
}

Result<void> SuiteDb::open()
{
    return outcome(usable());
}

Result<void> SuiteDb::outcome(bool done) const
{
    if (done)
        return {};
    return failure();
}

bool SuiteDb::isOpen() const
{
    // A server connection lost to a restart is still this object's: it opens again.
    return kept_ && !kept_->shutDown && (kept_->db.isOpen() || kept_->onServer());
}

QSqlQuery SuiteDb::newQuery() const
{
    QSqlQuery query(kept_ ? kept_->db : QSqlDatabase());
    query.setForwardOnly(true);
    return query;
}

bool SuiteDb::usable()
{
    // A post's log is on the disk before anything else reads or writes.
    awaitLogSync();
    if (!std::exchange(tried_, true)) {
        kept_ = useKept(fileName_, error_);
        if (kept_) {
            ++kept_->users;
            wasOpen_ = true;
        }
    }
    if (isOpen())
        return true;
    // A failed open keeps its own error; a database closed since (by close() or
    // DbCloseAll) is Jet's "object invalid or no longer set".
    if (wasOpen_)
        error_ = layerError(JetError::ObjectClosed, u"The database is closed."_s);
    return false;
}

Result<QSqlQuery> SuiteDb::query(const QString &sql)
{
    return query(sql, {});
}

Result<QSqlQuery> SuiteDb::query(const QString &sql, const QVariantList &values)
{
    QSqlQuery query = run(sql, values);
    if (failed())
        return failure();
    return query;
}

bool SuiteDb::readyFor(const QVariantList &values)
{
    rowsAffected_ = -1;
    if (!usable())
        return false;
    if (holdsNul(values)) {
        error_ = nulRefused();
        return false;
    }
    return true;
}

QSqlQuery SuiteDb::run(const QString &sql, const QVariantList &values)
{
    if (!readyFor(values))
        return newQuery();
    if (kept_->onServer())
        return serverRun(sql, values);
    QSqlQuery query = newQuery();
    bool done = false;
    if (values.isEmpty()) {
        done = query.exec(sql);
    } else if (query.prepare(sql)) {
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(int(i), values.at(i));
        done = query.exec();
    }
    error_ = done ? QSqlError() : explainRefusedWrite(kept_->db, query.lastError());
    if (done)
        rowsAffected_ = query.numRowsAffected();
    return query;
}

Result<int> SuiteDb::execPrepared(const QString &sql, const QVariantList &values)
{
    if (!readyFor(values))
        return failure();
    bool done = false;
    if (kept_->onServer()) {
        serverRun(sql, values);
        done = !failed();
    } else if (kept_->beginPending && !beginOnFile()) {
        return failure();
    } else if (readyToWrite(*kept_, error_)) {
        lengthenLogOnce(*kept_);
        done = execBound(kept_->db, sql, values, error_, &rowsAffected_);
        if (!done)
            error_ = explainRefusedWrite(kept_->db, error_);
    }
    if (!done)
        return failure();
    return rowsAffected_;
}

Result<SuiteDb::FirstRow> SuiteDb::firstRow(const QString &sql, const QVariantList &values)
{
    if (!readyFor(values))
        return failure();
    FirstRow first;
    if (!kept_->onServer()) {
        if (!firstRowBound(kept_->db, sql, values, first.names, first.values, error_))
            return failure();
        return first;
    }
    QSqlQuery query = serverRun(sql, values);
    if (failed())
        return failure();
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        first.names << record.fieldName(i);
    if (query.next()) {
        for (int i = 0; i < record.count(); ++i)
            first.values << query.value(i);
    } else if (query.lastError().isValid()) {
        error_ = query.lastError();
        return failure();
    }
    return first;
}

Result<void> SuiteDb::exec(const QString &sql)
{
    return outcome(runExec(sql));
}

bool SuiteDb::runExec(const QString &sql)
{
    // A statement whose rows nobody reads needs no query object on a file.
    if (usable() && !kept_->onServer()) {
        const bool done = execBound(kept_->db, sql, {}, error_, &rowsAffected_);
        if (!done)
            error_ = explainRefusedWrite(kept_->db, error_);
        return done;
    }
    QSqlQuery query = run(sql, {});
    const bool ok = !failed();
    query.finish();
    return ok;
}

Result<void> SuiteDb::transaction(Writes writes)
{
    if (usable() && kept_->onServer()) {
        if (writes == Writes::Answered)
            return outcome(serverBegin());
        kept_->inTransaction = kept_->writesKept = true;
        kept_->keptWrites.clear();
        return {};
    }
    if (usable() && writes == Writes::WithCommit) {
        kept_->beginPending = true;
        return {};
    }
    return outcome(beginOnFile());
}

Result<QStringList> SuiteDb::columnsOf(const QString &table)
{
    if (!usable())
        return failure();
    const auto known = kept_->columns.constFind(table);
    if (known != kept_->columns.cend())
        return *known;
    Result<QSqlQuery> read = query(u"select * from "_s + table + u" where 1 = 0"_s);
    if (!read)
        return read.failure();
    QStringList names;
    const QSqlRecord record = read->record();
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    kept_->columns.insert(table, names);
    return names;
}

bool SuiteDb::beginOnFile()
{
    // The write lock is taken at once, so the wait for another workstation happens here
    // and not when a read inside the transaction would have to become a write.
    if (usable()) {
        kept_->beginPending = false;
        if (!readyToWrite(*kept_, error_))
            return false;
        lengthenLogOnce(*kept_);
    }
    const bool begun = runExec(u"BEGIN IMMEDIATE"_s);
    if (begun)
        kept_->inTransaction = true;
    return begun;
}

bool SuiteDb::endTransaction(bool commit, int countedWrite)
{
    if (usable() && kept_->onServer())
        return serverEnd(commit, countedWrite);
    // A transaction that wrote nothing took no lock.
    if (isOpen() && std::exchange(kept_->beginPending, false))
        return true;
    const bool ended = runExec(commit ? u"COMMIT"_s : u"ROLLBACK"_s);
    if (isOpen() && (ended || !commit))
        kept_->inTransaction = false;
    return ended;
}

Result<void> SuiteDb::commit()
{
    return outcome(endTransaction(true));
}

Result<int> SuiteDb::commitCounting(int write)
{
    const bool withCommit = usable() && kept_->onServer() && kept_->writesKept;
    if (!endTransaction(true, write))
        return failure();
    return withCommit ? rowsAffected_ : -1;
}

Result<void> SuiteDb::rollback()
{
    return outcome(endTransaction(false));
}

void SuiteDb::close()
{
    if (!kept_)
        return;
    // The statements that waited for a lock are over by now.
    kept_->endWait();
    // The last user leaves the connection as a closed database would be: no statement
    // running, no transaction.
    if (--kept_->users == 0) {
        if (!kept_->onServer())
            settleFile(kept_->db);
        else if (kept_->inTransaction)
            serverEnd(false);
        kept_->inTransaction = kept_->beginPending = kept_->writesKept = false;
        kept_->keptWrites.clear();
    }
    if (kept_.use_count() == 1)
        letGoConnections().push_back(std::move(kept_));
    kept_.reset();
}

void DbCloseAll()
{
    closeKeptConnections();
    storeHost().letEventsRun();
}

void DbFreeLocks()
{
    storeHost().letEventsRun();
}

} // namespace tallic
