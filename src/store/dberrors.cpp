#include "dberrors.h"

#include <QStringList>

#include <sqlite3.h>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// Errors this layer makes itself carry the suite's number in place of an SQLite code.
const QString LayerCodePrefix = u"jet"_s;

// A server's failure not yet in the suite's terms: the server names its failures by five
// characters, SQLite by a number of at most four digits.
bool isServerCode(const QSqlError &error)
{
    return error.nativeErrorCode().size() == 5;
}

bool isLockFailure(const QSqlError &error)
{
    bool numeric = false;
    const int primary = error.nativeErrorCode().toInt(&numeric) & 0xff;
    return numeric && (primary == SQLITE_BUSY || primary == SQLITE_LOCKED);
}

// The engine's text, but the suite's own words for a lock: the operator is to try again.
QString failureDescription(const QSqlError &error)
{
    if (isServerCode(error))
        return failureDescription(serverFailure(error));
    if (isLockFailure(error))
        return lockedDatabaseText();
    if (error.databaseText().isEmpty())
        return error.driverText();
    // A database out of reach says why.
    if (error.nativeErrorCode().startsWith(LayerCodePrefix) && !error.driverText().isEmpty())
        return error.databaseText() + u' ' + error.driverText();
    return error.databaseText();
}

} // namespace

// The server's own text of a failure: its first line, without the severity.
QString serverText(const QSqlError &error)
{
    QString text = error.databaseText().section(u'\n', 0, 0).trimmed();
    for (const char16_t *severity : { u"ERROR:", u"FATAL:", u"PANIC:" }) {
        if (text.startsWith(severity))
            text = text.mid(QStringView(severity).size()).trimmed();
    }
    if (text.isEmpty())
        text = error.driverText();
    return text;
}

QSqlError layerError(int jetNumber, const QString &text, const QString &reason)
{
    return QSqlError(reason, text, QSqlError::ConnectionError,
                     LayerCodePrefix + QString::number(jetNumber));
}

int jetErrorNumber(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    if (code.startsWith(LayerCodePrefix))
        return code.mid(LayerCodePrefix.size()).toInt();
    if (isServerCode(error))
        return jetErrorNumber(serverFailure(error));

    // The numbers Jet gives for the same failures, where the suite's messages know them;
    // any other SQLite failure is Generic + its primary result code.
    bool numeric = false;
    const int primary = code.toInt(&numeric) & 0xff;
    const QString text = error.databaseText();
    if (!numeric || primary == SQLITE_OK)
        return JetError::Generic;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return JetError::Locked;
    if (primary == SQLITE_CONSTRAINT
        && (text.contains(u"UNIQUE"_s) || text.contains(u"PRIMARY KEY"_s)))
        return JetError::DuplicateKey;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        return JetError::DamagedFile;
    if (text.startsWith(u"no such table"_s))
        return JetError::NoSuchTable;
    if (text.startsWith(u"no such column"_s))
        return JetError::NoSuchColumn;
    return JetError::Generic + primary;
}

QString lockedDatabaseText()
{
    return u"A database is locked by another user. Try again later."_s;
}

Failure dbFailure(const QSqlError &error, const QString &database)
{
    Failure failure { jetErrorNumber(error), failureDescription(error), database };
    failure.engineText = error.text();
    failure.reason = error.driverText();
    return failure;
}

QSqlError serverFailure(const QSqlError &error)
{
    const QString state = error.nativeErrorCode();
    int number = JetError::Generic + 1; // SQLite's plain "SQL error"
    if (isServerLockFailure(error)) {
        return layerError(JetError::Locked, lockedDatabaseText());
    } else if (state == u"23505"_s) {
        number = JetError::DuplicateKey;
    } else if (state.startsWith(u"23"_s) || state == u"P0001"_s) {
        // A rule of the table refused the row, as a constraint or a trigger's abort does
        // on SQLite.
        number = JetError::Refused;
    } else if (state == u"42P01"_s) {
        number = JetError::NoSuchTable;
    } else if (state == u"42703"_s) {
        number = JetError::NoSuchColumn;
    } else if (state == u"3F000"_s) {
        number = JetError::FileNotFound;
    } else if (state == u"25006"_s || state == u"42501"_s) {
        number = JetError::ReadOnly;
    } else if (state == u"53100"_s) {
        number = JetError::DiskFull;
    } else if (state == u"XX001"_s || state == u"XX002"_s) {
        number = JetError::DamagedFile;
    } else if (state.isEmpty() || state.startsWith(u"08"_s) || state.startsWith(u"57P"_s)
               || state == u"53300"_s) {
        number = JetError::NetworkError;
    }
    return layerError(number, serverText(error));
}

bool isServerLockFailure(const QSqlError &error)
{
    static const QStringList states { u"55P03"_s, u"40P01"_s, u"40001"_s, u"55006"_s };
    return states.contains(error.nativeErrorCode());
}

bool isConnectionLost(const QSqlError &error)
{
    // The server names every failure of its own; one without a name is the client's: the
    // connection is gone.
    const QString state = error.nativeErrorCode();
    return error.isValid()
        && (state.isEmpty() || state.startsWith(u"08"_s) || state.startsWith(u"57P"_s));
}

} // namespace tallic
