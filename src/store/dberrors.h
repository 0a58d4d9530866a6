#pragma once

#include <QSqlError>
#include <QString>

#include "basic/result.h"

namespace tallic {

// The suite's numbers for database failures, those of the engine it was first built on.
// Any other failure of SQLite is Generic + its primary result code; a server's failures
// get the number SQLite would give for the same failure.
namespace JetError {
constexpr qint32 Generic = 3000;
constexpr qint32 CannotWriteThrough = 3001;
constexpr qint32 ReadOnly = 3008; // Generic + SQLITE_READONLY
constexpr qint32 DiskFull = 3013; // Generic + SQLITE_FULL
constexpr qint32 Refused = 3019; // Generic + SQLITE_CONSTRAINT: a rule refused the row
constexpr qint32 NoCurrentRecord = 3021;
constexpr qint32 DuplicateKey = 3022;
constexpr qint32 FileNotFound = 3024;
constexpr qint32 NetworkError = 3043; // the server cannot be reached
// The answer to a COMMIT was lost: the server may or may not have stored the transaction.
constexpr qint32 OutcomeUnknown = 3047;
constexpr qint32 DamagedFile = 3049;
constexpr qint32 NoSuchTable = 3078;
// Locked by another workstation past the wait; the suite's error table has it under 3000.
constexpr qint32 Locked = 3000;
constexpr qint32 NoSuchColumn = 3265;
constexpr qint32 ObjectClosed = 3420;
} // namespace JetError

// A failure this layer finds itself, under the suite's number; the reason, when there is
// one beyond the text, goes to the error's driverText().
QSqlError layerError(int jetNumber, const QString &text, const QString &reason = QString());

// The suite's error number for a database failure.
int jetErrorNumber(const QSqlError &error);
// A database failure in the suite's terms, for the calling routine's handler.
Failure dbFailure(const QSqlError &error, const QString &database = QString());

// The error table's explanation of a locked database, the description of a Locked failure.
QString lockedDatabaseText();

// A server's failure in the suite's terms: the number the SQLite side would give for the
// same failure, and the server's own first line of text (a lock in the suite's words).
QSqlError serverFailure(const QSqlError &error);
// Whether the statement failed for another session's lock, or because the connection to
// the server is gone (a restart, a network failure).
bool isServerLockFailure(const QSqlError &error);
bool isConnectionLost(const QSqlError &error);
// The server's own text of a failure: its first line, without the severity.
QString serverText(const QSqlError &error);

} // namespace tallic
