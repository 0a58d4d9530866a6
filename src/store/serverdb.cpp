// SuiteDb on a database server: statements on the connection's own thread, a lost
// connection opened again, and a transaction told stored, not stored, or not known.
#include "database.h"

#include "datasource.h"
#include "kept.h"
#include "storehost.h"

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
    qint64 left = answerTimeout(lockWaitLimit()) - clock.elapsed();
    if (const qint64 deadline = ServerDeadline::remaining(); deadline >= 0)
        left = qMin(left, deadline);
    return int(qMax<qint64>(0, left));
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
        if (!isServerOutOfReach(failure) || clock.elapsed() >= lockWaitLimit()
            || ServerDeadline::remaining() == 0 || storeHost().programEnding()) {
            error_ = failure;
            return false;
        }
        kept.beginWait();
        storeHost().lockWaitTick();
        QThread::msleep(ReconnectRetryMs);
    }
}

// One sending of the steps on the kept connection, opened first if need be. False, with the
// failure, when the operation's time is up or the server cannot be reached: nothing was sent.
bool SuiteDb::serverSend(const QList<ServerStep> &steps, int resultStep, const QString &undo,
                         const QElapsedTimer &clock, ServerReply &reply)
{
    if (ServerDeadline::remaining() == 0) {
        error_ = noAnswer();
        return false;
    }
    if (!serverConnected(clock))
        return false;
    Kept &kept = *kept_;
    kept.link->setLockTimeout(lockWaitLimit());
    reply
        = kept.link->run(steps, resultStep, undo, answerWait(clock), [&kept] { kept.beginWait(); });
    return true;
}

bool SuiteDb::serverCall(const QList<ServerStep> &steps, int resultStep, const QString &undo,
                         bool again, ServerReply &reply)
{
    Kept &kept = *kept_;
    QElapsedTimer clock;
    clock.start();
    int reconnects = 0;
    for (;;) {
        if (!serverSend(steps, resultStep, undo, clock, reply))
            return false;
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
            && ServerDeadline::remaining() != 0 && !storeHost().programEnding()) {
            kept.beginWait();
            storeHost().lockWaitTick();
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
    const ServerStep step { serverStatement(sql), values };
    if (!kept.inTransaction && !read) {
        // A write stands in a transaction of its own, sent with its BEGIN and COMMIT in one
        // round trip: a connection lost before the answer leaves its outcome untold.
        kept.keptWrites = { step };
        QElapsedTimer clock;
        clock.start();
        if (!serverCommitWrites(clock, 1))
            return failedQuery(error_);
        return rowsQuery({}, {}, rowsAffected_);
    }
    if (kept.writesKept) {
        // A write goes with the COMMIT; a read needs what was written before it.
        if (!read) {
            kept.keptWrites << step;
            rowsAffected_ = -1;
            error_ = QSqlError();
            return rowsQuery({}, {}, -1);
        }
        if (!sendKeptWrites())
            return failedQuery(error_);
    }
    ServerReply reply;
    const bool guarded = kept.inTransaction;
    if (!serverCall(guarded ? QList<ServerStep> { Savepoint, step, Release } : QList { step },
                    guarded ? 1 : 0, guarded ? UndoStatement : QString(), read, reply))
        return failedQuery(error_);
    rowsAffected_ = reply.rowsAffected;
    return rowsQuery(reply.record, reply.rows, reply.rowsAffected);
}

bool SuiteDb::serverBegin()
{
    ServerReply reply;
    if (!serverCall({ { u"begin"_s, {} } }, 0, {}, true, reply))
        return false;
    kept_->inTransaction = true;
    return true;
}

// The writes kept so far, sent after a BEGIN: from then on the transaction is one as any.
bool SuiteDb::sendKeptWrites()
{
    Kept &kept = *kept_;
    kept.writesKept = false;
    QList<ServerStep> steps { { u"begin"_s, {} } };
    steps += std::exchange(kept.keptWrites, {});
    ServerReply reply;
    return serverCall(steps, -1, u"rollback"_s, false, reply);
}

bool SuiteDb::serverEnd(bool commit, int countedWrite)
{
    Kept &kept = *kept_;
    if (kept.writesKept) {
        kept.writesKept = kept.inTransaction = false;
        if (!commit) {
            kept.keptWrites.clear();
            return true;
        }
        QElapsedTimer clock;
        clock.start();
        // The steps are the BEGIN and then the writes.
        return serverCommitWrites(clock, countedWrite < 0 ? -1 : countedWrite + 1);
    }
    const bool linked = kept.link && kept.link->usable();
    if (!std::exchange(kept.inTransaction, false) || !linked) {
        // The transaction went with a lost connection before its COMMIT: nothing of it was
        // stored.
        if (commit && !failed())
            error_ = nothingStored();
        return !commit;
    }
    QElapsedTimer clock;
    clock.start();
    if (!commit) {
        kept.link->run({ { u"rollback"_s, {} } }, 0, {}, answerWait(clock),
                       [&kept] { kept.beginWait(); });
        return true;
    }
    return serverCommit(clock);
}

// A COMMIT whose answer is lost is not guessed at: the session that held it is noted, and the
// caller's key tells later what became of it.
bool SuiteDb::serverCommit(const QElapsedTimer &clock)
{
    Kept &kept = *kept_;
    const ServerReply done = kept.link->run({ { u"commit"_s, {} } }, 0, {}, answerWait(clock),
                                            [&kept] { kept.beginWait(); });
    if (done.ok()) {
        error_ = QSqlError();
        return true;
    }
    if (done.answered && !isConnectionLost(done.error)) {
        // The server refused it: nothing was stored.
        error_ = serverFailure(done.error);
        return false;
    }
    kept.lost = kept.link->session();
    error_ = layerError(JetError::OutcomeUnknown,
                        u"The database server did not answer whether the change was stored."_s);
    return false;
}

// A transaction's writes with its BEGIN and COMMIT, in one round trip. Refused, it was rolled
// back; its answer lost, it may or may not be stored; while the server is not reached, nothing
// was sent.
bool SuiteDb::serverCommitWrites(const QElapsedTimer &clock, int resultStep)
{
    Kept &kept = *kept_;
    rowsAffected_ = -1;
    const QList<ServerStep> writes = std::exchange(kept.keptWrites, {});
    if (writes.isEmpty())
        return true;
    const QList<ServerStep> steps = QList<ServerStep> { { u"begin"_s, {} } } + writes
        + QList<ServerStep> { { u"commit"_s, {} } };
    for (;;) {
        ServerReply reply;
        if (!serverSend(steps, resultStep, u"rollback"_s, clock, reply))
            return false;
        if (reply.ok()) {
            error_ = QSqlError();
            rowsAffected_ = reply.rowsAffected;
            return true;
        }
        if (!reply.answered || isConnectionLost(reply.error)) {
            kept.lost = kept.link->session();
            error_ = layerError(JetError::OutcomeUnknown,
                                u"The database server did not answer whether the change was "
                                u"stored."_s);
            return false;
        }
        if (isServerLockFailure(reply.error) && clock.elapsed() < lockWaitLimit()
            && !storeHost().programEnding()) {
            kept.beginWait();
            storeHost().lockWaitTick();
            continue;
        }
        error_ = serverFailure(reply.error);
        return false;
    }
}

ServerSession SuiteDb::lostSession() const
{
    return kept_ ? kept_->lost : ServerSession();
}

} // namespace tallic
