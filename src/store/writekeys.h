#pragma once

#include "basic/result.h"
#include "database.h"

#include <QDate>
#include <QString>

#include <functional>

namespace tallic {

// Every write the program makes to ardaily (a posted chit, a generated member's chit, a
// correction or a deletion) carries a key made by the workstation, stored with its rows in
// one transaction, in the daily database's table tallic_writes. What became of a write whose
// COMMIT went unanswered is learned by looking its key up on whatever server holds the data
// by then (after a reconnect, a restart or a failover), never from a transaction number,
// which means nothing on another server.

// 128 random bits as 32 hexadecimal digits.
QString newWriteKey();

enum class WriteOutcome { Stored, NotStored, Unknown };

struct WriteResult
{
    WriteOutcome outcome = WriteOutcome::NotStored;
    QString storedAt; // Stored: when, as the key's row says ("2024-03-12 14:02:05")
    Failure failure; // NotStored: why it was not; Unknown: why it cannot be told
    ServerSession session; // Unknown: the server's session that held the write
    bool withheld = false; // NotStored: its guard held (storeKeyed)

    bool stored() const { return outcome == WriteOutcome::Stored; }
};

// The writes, then the key's row with its description, in one transaction of the daily
// database, and the COMMIT. A COMMIT whose answer is lost is looked up at once, within the
// time the server is given (ServerDeadline); what cannot be looked up then is Unknown. By
// default the writes go with the COMMIT (on a server, all in one round trip): writes that
// need their answers (the rows changed) say Writes::Answered.
//
// A guard (a condition over the daily database) withholds the write while it holds, without
// a round trip of its own: the key's row goes first, added only where the guard does not
// hold, and the writes must be made only where it was added (keyAdded()). A write withheld
// is NotStored and withheld, nothing of it stored; a lost answer is looked up as any.
using DailyWrites = std::function<Result<void>(SuiteDb &daily)>;
WriteResult storeKeyed(const QString &key, const QString &description, const DailyWrites &writes,
                       SuiteDb::Writes writesGo = SuiteDb::Writes::WithCommit,
                       const SqlCondition &guard = {});

// The condition that the key's row is there: in a guarded write's transaction, that the
// guard let the write go.
SqlCondition keyAdded(const QString &key);

// What became of the write with the key: found stored, or settled as never to be stored: a
// key that is not there is stored as not stored once the transaction that may hold it has
// ended, so that it can never be stored later (on a server the session that held it is ended
// first, when it is still there). On a server the answer is given only once the server has
// made it as durable as a COMMIT (a synchronous standby has it). Unknown while the server
// cannot be asked.
WriteResult lookUpWrite(const QString &key, const ServerSession &session);

// Forgets the keys written before the day: those of the months closed.
Result<void> pruneWriteKeys(const QDate &before);

} // namespace tallic
