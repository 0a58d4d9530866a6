// SuiteDb on a database server: statements on the connection's own thread, a lost
// connection opened again, and every transaction stored once or not at all.
#include "database.h"
#include "datasource.h"
#include "kept.h"

#include "platform/runtime.h"

#include <QThread>

#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

using Kept = SuiteDb::Kept;

// Between two tries at a server that is not back yet.
constexpr int ReconnectRetryMs = 100;
// A server that answers but drops the connection again and again is given up on.
constexpr int MaxReconnects = 3;

const ServerStep Savepoint { u"savepoint tallic_statement"_s, {} };
const ServerStep Release { u"release savepoint tallic_statement"_s, {} };
const QString UndoStatement = u"rollback to savepoint tallic_statement"_s;

// Whether the statement only reads: such a statement may run again on a new connection.
bool onlyReads(const QString &sql)
{
    return sql.trimmed().startsWith(u"select"_s, Qt::CaseInsensitive);
}

QSqlError noAnswer()
{
    return layerError(JetError::NetworkError,
                      u"The database server did not answer in time; it is taken for gone."_s);
}

QSqlError lostFailure(const ServerReply &reply)
{
    return reply.answered ? serverFailure(reply.error) : noAnswer();
}

// A transaction that went with its connection before its COMMIT.
QSqlError nothingStored()
{
    return layerError(JetError::NetworkError,
                      u"The connection to the database server was lost; nothing was stored."_s);
}

QSqlQuery failedQuery(const QSqlError &error)
{
    return rowsQuery({}, {}, -1, error);
}

} // namespace

int SuiteDb::answerWait(const QElapsedTimer &clock) const
{
    return int(qMax<qint64>(0, answerTimeout(lockWaitLimit()) - clock.elapsed()));
}

bool SuiteDb::serverConnected(const QElapsedTimer &clock)
{
    Kept &kept = *kept_;
    if (kept.link && kept.link->usable())
        return true;
    kept.link.reset();
    // A restart takes the server a few seconds: it is waited for as a lock is.
    for (;;) {
        auto link = std::make_unique<ServerLink>(kept.source, kept.fileName);
        const QSqlError failure = link->open(answerWait(clock), [&kept] { kept.beginWait(); });
        if (!failure.isValid()) {
            link->setLockTimeout(lockWaitLimit());
            kept.link = std::move(link);
            return true;
        }
        // A server that answers and refuses will not change its mind by waiting.
        if (!isServerOutOfReach(failure) || clock.elapsed() >= lockWaitLimit() || programEnding()) {
            error_ = failure;
            return false;
        }
        kept.beginWait();
        lockWaitTick();
        QThread::msleep(ReconnectRetryMs);
    }
}

bool SuiteDb::serverCall(const QList<ServerStep> &steps, int resultStep, const QString &undo,
                         bool again, ServerReply &reply)
{
    Kept &kept = *kept_;
    QElapsedTimer clock;
    clock.start();
    int reconnects = 0;
    for (;;) {
        if (!serverConnected(clock))
            return false;
        kept.link->setLockTimeout(lockWaitLimit());
        reply = kept.link->run(steps, resultStep, undo, answerWait(clock),
                               [&kept] { kept.beginWait(); });
        if (reply.ok()) {
            error_ = QSqlError();
            return true;
        }
        if (!reply.answered || isConnectionLost(reply.error)) {
            // A transaction goes with its connection, and nothing of it is stored; a write
            // is never run twice.
            if (std::exchange(kept.inTransaction, false)) {
                error_ = nothingStored();
                return false;
            }
            if (!again || !reply.answered || ++reconnects > MaxReconnects) {
                error_ = lostFailure(reply);
                return false;
            }
            continue;
        }
        if (isServerLockFailure(reply.error) && clock.elapsed() < lockWaitLimit()
            && !programEnding()) {
            kept.beginWait();
            lockWaitTick();
            continue;
        }
        error_ = serverFailure(reply.error);
        // A schema dropped or renamed since the connection was opened is a missing
        // database; the connection goes, so that the next use looks again.
        if (jetErrorNumber(error_) == JetError::NoSuchTable) {
            const ServerReply schema = kept.link->run(
                { { u"select exists (select 1 from pg_namespace where nspname = ?)"_s,
                    { schemaOf(kept.fileName) } } },
                0, {}, answerWait(clock), {});
            if (schema.ok() && !schema.rows.value(0).value(0).toBool()) {
                error_ = missingDatabase(kept.fileName);
                auto &map = keptConnections();
                const auto it = map.find(kept.key);
                if (it != map.end() && it->second == kept_)
                    map.erase(it);
            }
        }
        return false;
    }
}

QSqlQuery SuiteDb::serverRun(const QString &sql, const QVariantList &values)
{
    Kept &kept = *kept_;
    const bool read = onlyReads(sql);
    if (!kept.inTransaction && !read) {
        // A write stands in a transaction of its own, whose outcome can be asked for when
        // the answer to its COMMIT is lost.
        if (!serverBegin())
            return failedQuery(error_);
        QSqlQuery result = serverRun(sql, values);
        if (failed()) {
            const QSqlError failure = error_;
            serverEnd(false);
            error_ = failure;
            return result;
        }
        const int affected = rowsAffected_;
        if (!serverEnd(true))
            return failedQuery(error_);
        rowsAffected_ = affected;
        return result;
    }

    ServerStep step { serverStatement(sql), values };
    if (kept.inTransaction && !read && !kept.storedAlready.isEmpty()) {
        if (kept.repeated < kept.storedAlready.size()
            && kept.storedAlready.at(kept.repeated) == step) {
            rowsAffected_ = kept.storedAlready.at(kept.repeated++).rowsAffected;
            error_ = QSqlError();
            return rowsQuery({}, {}, rowsAffected_);
        }
        if (!repeatStored())
            return failedQuery(error_);
    }
    ServerReply reply;
    const bool guarded = kept.inTransaction;
    if (!serverCall(guarded ? QList<ServerStep> { Savepoint, step, Release } : QList { step },
                    guarded ? 1 : 0, guarded ? UndoStatement : QString(), read, reply))
        return failedQuery(error_);
    rowsAffected_ = reply.rowsAffected;
    if (guarded && !read) {
        step.rowsAffected = reply.rowsAffected;
        kept.written.append(step);
    }
    return rowsQuery(reply.record, reply.rows, reply.rowsAffected);
}

bool SuiteDb::repeatStored()
{
    // The open transaction is not the one found stored: what it repeated of it runs now.
    Kept &kept = *kept_;
    const QList<ServerStep> repeated = kept.storedAlready.mid(0, kept.repeated);
    kept.storedAlready.clear();
    kept.repeated = 0;
    for (const ServerStep &step : repeated) {
        serverRun(step.sql, step.values);
        if (failed())
            return false;
    }
    return true;
}

bool SuiteDb::serverBegin()
{
    Kept &kept = *kept_;
    if (kept.unresolved) {
        const Kept::Unresolved last = *kept.unresolved;
        const Outcome outcome = findOutcome(last.xid, last.pid);
        if (outcome == Outcome::Unknown)
            return false;
        kept.unresolved.reset();
        if (outcome == Outcome::Stored)
            kept.storedAlready = last.writes;
    }
    ServerReply reply;
    if (!serverCall({ { u"begin"_s, {} } }, 0, {}, true, reply))
        return false;
    kept.inTransaction = true;
    kept.written.clear();
    kept.repeated = 0;
    return true;
}

bool SuiteDb::serverEnd(bool commit)
{
    Kept &kept = *kept_;
    bool storedBefore = false, repeatFailed = false;
    if (kept.inTransaction && commit && !kept.storedAlready.isEmpty()) {
        // Every write of a transaction found stored after all, repeated: stored once is
        // enough.
        storedBefore = kept.repeated == kept.storedAlready.size();
        repeatFailed = !storedBefore && !repeatStored();
    }
    kept.storedAlready.clear();
    kept.repeated = 0;
    const QList<ServerStep> writes = std::exchange(kept.written, {});
    const bool linked = kept.link && kept.link->usable();
    if (!std::exchange(kept.inTransaction, false) || !linked) {
        // The transaction went with a lost connection: nothing of it was stored.
        if (commit && !failed())
            error_ = nothingStored();
        return !commit;
    }
    const auto slow = [&kept] { kept.beginWait(); };
    QElapsedTimer clock;
    clock.start();
    if (!commit || storedBefore || repeatFailed) {
        // A connection lost meanwhile has rolled it back already.
        if (linked)
            kept.link->run({ { u"rollback"_s, {} } }, 0, {}, answerWait(clock), slow);
        return !repeatFailed;
    }
    return serverCommit(writes, clock);
}

// The transaction's number first, then the COMMIT alone: when its answer is lost, the
// server is asked what became of the number.
bool SuiteDb::serverCommit(const QList<ServerStep> &writes, const QElapsedTimer &clock)
{
    Kept &kept = *kept_;
    const auto slow = [&kept] { kept.beginWait(); };
    const ServerReply number = kept.link->run({ { u"select txid_current_if_assigned()"_s, {} } }, 0,
                                              {}, answerWait(clock), slow);
    if (!number.ok()) {
        const bool lost = !number.answered || isConnectionLost(number.error);
        error_ = lost ? nothingStored() : serverFailure(number.error);
        if (!lost)
            kept.link->run({ { u"rollback"_s, {} } }, 0, {}, answerWait(clock), slow);
        return false;
    }
    const QVariant xid = number.rows.value(0).value(0);
    const qint64 pid = kept.link->backendPid();
    const ServerReply done
        = kept.link->run({ { u"commit"_s, {} } }, 0, {}, answerWait(clock), slow);
    if (done.ok()) {
        error_ = QSqlError();
        return true;
    }
    if (done.answered && !isConnectionLost(done.error)) {
        // The server refused it: nothing was stored.
        error_ = serverFailure(done.error);
        return false;
    }
    // Nothing written, nothing to lose.
    if (xid.isNull()) {
        error_ = QSqlError();
        return true;
    }
    switch (findOutcome(xid.toLongLong(), pid)) {
    case Outcome::Stored:
        error_ = QSqlError();
        return true;
    case Outcome::NotStored:
        error_ = nothingStored();
        return false;
    case Outcome::Unknown:
        kept.unresolved = Kept::Unresolved { xid.toLongLong(), pid, writes };
        error_ = layerError(
            JetError::NetworkError,
            u"The connection to the database server was lost while the change was being "
            u"stored, and the server cannot be asked whether it was. Try again once it "
            u"answers: a change stored meanwhile is not stored twice."_s);
        return false;
    }
    return false;
}

SuiteDb::Outcome SuiteDb::findOutcome(qint64 xid, qint64 pid)
{
    Kept &kept = *kept_;
    const auto slow = [&kept] { kept.beginWait(); };
    QElapsedTimer clock;
    clock.start();
    bool ended = false;
    for (;;) {
        if (serverConnected(clock)) {
            const ServerReply status = kept.link->run({ { u"select txid_status(?)"_s, { xid } } },
                                                      0, {}, answerWait(clock), slow);
            const QString word = status.rows.value(0).value(0).toString();
            if (word == u"committed"_s)
                return Outcome::Stored;
            if (word == u"aborted"_s)
                return Outcome::NotStored;
            if (word == u"in progress"_s && !std::exchange(ended, true)) {
                // The server has not noticed yet that the connection is gone. Its process
                // for it is ended, which settles the transaction one way or the other.
                kept.link->run(
                    { { u"select pg_terminate_backend(pid) from pg_stat_activity "
                        u"where pid = ? and backend_xid::text::bigint = ? % 4294967296"_s,
                        { pid, xid } } },
                    0, {}, answerWait(clock), slow);
            }
        }
        if (clock.elapsed() >= lockWaitLimit() || programEnding()) {
            error_ = layerError(JetError::NetworkError,
                                u"The connection to the database server was lost while the "
                                u"change was being stored, and the server cannot be asked "
                                u"whether it was."_s);
            return Outcome::Unknown;
        }
        kept.beginWait();
        lockWaitTick();
        QThread::msleep(ReconnectRetryMs);
    }
}

} // namespace tallic
