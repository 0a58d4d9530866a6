#include "writekeys.h"

#include "datasource.h"
#include "storehost.h"

#include <QRandomGenerator>
#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

const QString DailyFile = u"DAILY.MDB"_s;

// Whether the key's row is the write's own, or says that the write was found not stored.
enum Kind { NotStoredKind = 0, WriteKind = 1 };

// The workstation's date and time as the key's row keeps it: text that sorts as it reads. Put
// together from the date and the time alone: a local QDateTime costs the time zone's rules at
// every write.
QString now()
{
    return storeHost().today().toString(Qt::ISODate) + u' '
        + storeHost().timeOfDay().toString(u"HH:mm:ss"_s);
}

WriteResult notStored(const Failure &why)
{
    return { WriteOutcome::NotStored, {}, why, {} };
}

WriteResult withheld()
{
    WriteResult result
        = notStored(Failure { JetError::Refused, u"A row alike is there."_s, DailyFile });
    result.withheld = true;
    return result;
}

WriteResult unknown(const Failure &why, const ServerSession &session)
{
    Failure failure = why;
    if (failure.number != JetError::OutcomeUnknown) {
        failure.description = u"The database server did not answer whether the change was "
                              u"stored: "_s
            + why.description;
        failure.number = JetError::OutcomeUnknown;
    }
    return { WriteOutcome::Unknown, {}, failure, session };
}

// The key's row; with a guard, only where the guard does not hold. How many rows it added,
// or -1 while that is learned at the COMMIT.
Result<int> addKey(SuiteDb &daily, const QString &key, const QString &description,
                   const QString &at, const SqlCondition &guard)
{
    QString sql = u"insert into tallic_writes (writekey, writtenat, writedesc, writekind, "
                  u"writechecks) "_s;
    QVariantList values { key, at, description };
    if (guard.sql.isEmpty()) {
        sql += u"values (?, ?, ?, 1, 0)"_s;
    } else {
        sql += u"select ?, ?, ?, 1, 0 where not "_s + guard.sql;
        values += guard.values;
    }
    return daily.execPrepared(sql, values);
}

// On a server, a transaction-long lock of the guard's name, sent with the rest of the
// transaction: the guard's statement, which comes after it, then sees what another
// workstation's transaction of the same name committed meanwhile (each statement reads
// afresh). On files the write lock is one already.
Result<int> takeTurn(SuiteDb &daily, const QString &name)
{
    // Not a select, so that it goes with the transaction's writes in their one round trip.
    return daily.execPrepared(u"values (pg_advisory_xact_lock(7342, hashtext(cast(? as text))))"_s,
                              { name });
}

// Ends the server's session that held a write, when it is still on this server: its
// transaction is then over, one way or the other. The moment it began tells it from another
// session under the same process number, here or on another server.
void endSession(SuiteDb &daily, const ServerSession &session)
{
    if (session.isNull() || !currentDataSource().onServer())
        return;
    (void)daily.query(u"select pg_terminate_backend(pid) from pg_stat_activity where pid = ? "
                      u"and (extract(epoch from backend_start) * 1000000)::bigint = ?"_s,
                      { session.pid, session.started });
}

} // namespace

QString newWriteKey()
{
    quint64 bits[2];
    QRandomGenerator::system()->fillRange(bits);
    return u"%1%2"_s.arg(bits[0], 16, 16, QChar(u'0')).arg(bits[1], 16, 16, QChar(u'0'));
}

SqlCondition keyAdded(const QString &key)
{
    return { u"exists (select 1 from tallic_writes where writekey = ?)"_s, { key }, {} };
}

WriteResult storeKeyed(const QString &key, const QString &description, const DailyWrites &writes,
                       SuiteDb::Writes writesGo, const SqlCondition &guard)
{
    const bool guarded = !guard.sql.isEmpty();
    ServerSession lost;
    {
        SuiteDb daily(DailyFile);
        if (const Result<void> begun = daily.transaction(writesGo); !begun)
            return notStored(begun.failure());
        const QString at = now();
        // A guarded write's key goes first: the writes wait on it.
        const bool turn = guarded && !guard.name.isEmpty() && currentDataSource().onServer();
        Result<int> keyed = turn ? takeTurn(daily, guard.name) : Result<int>(1);
        if (guarded && keyed)
            keyed = addKey(daily, key, description, at, guard);
        Result<void> written = keyed ? writes(daily) : Result<void>(keyed.failure());
        if (written && !guarded)
            keyed = addKey(daily, key, description, at, guard);
        if (written && !keyed)
            written = keyed.failure();
        if (!written || *keyed == 0) {
            (void)daily.rollback();
            return written ? withheld() : notStored(written.failure());
        }
        // Learned from the COMMIT's answer, on a server, whether the guard held.
        const Result<int> committed = daily.commitCounting(!guarded ? -1 : turn ? 1 : 0);
        if (committed && *committed == 0)
            return withheld();
        if (committed)
            return { WriteOutcome::Stored, at, {}, {} };
        if (committed.failure().number != JetError::OutcomeUnknown) {
            (void)daily.rollback();
            return notStored(committed.failure());
        }
        lost = daily.lostSession();
    }
    return lookUpWrite(key, lost);
}

WriteResult lookUpWrite(const QString &key, const ServerSession &session)
{
    SuiteDb daily(DailyFile);
    endSession(daily, session);
    if (const Result<void> begun = daily.transaction(); !begun)
        return unknown(begun.failure(), session);
    // The insert waits for a transaction that holds the key still; the row it finds, or the
    // one it adds, is written again, so that the answer is as durable as the write would be.
    Result<QSqlQuery> settled = daily.query(
        u"insert into tallic_writes (writekey, writtenat, writedesc, writekind, writechecks) "
        u"values (?, ?, 'not stored', 0, 1) on conflict (writekey) do update set "
        u"writechecks = tallic_writes.writechecks + 1 returning writekind, writtenat"_s,
        { key, now() });
    const bool found = settled && settled->next();
    if (!found) {
        const Failure why
            = settled ? dbFailure(settled->lastError(), DailyFile) : settled.failure();
        settled = Failure();
        (void)daily.rollback();
        return unknown(why, session);
    }
    const bool stored = settled->value(0).toInt() == WriteKind;
    const QString at = settled->value(1).toString();
    settled = Failure();
    if (const Result<void> committed = daily.commit(); !committed) {
        (void)daily.rollback();
        return unknown(committed.failure(), session);
    }
    if (!stored)
        return notStored(Failure { JetError::NetworkError,
                                   u"The change was not stored before the connection to the "
                                   u"database server was lost."_s,
                                   DailyFile });
    return { WriteOutcome::Stored, at, {}, {} };
}

Result<void> pruneWriteKeys(const QDate &before)
{
    SuiteDb daily(DailyFile);
    const Result<int> pruned = daily.execPrepared(
        u"delete from tallic_writes where writtenat < ?"_s, { before.toString(u"yyyy-MM-dd"_s) });
    if (!pruned)
        return pruned.failure();
    return {};
}

} // namespace tallic
