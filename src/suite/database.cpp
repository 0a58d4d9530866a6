#include "database.h"

#include "datasource.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "sharedstate.h"

#include <QRegularExpression>
#include <QSqlRecord>

#include <sqlite3.h>

#include <optional>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// Of a wide row, the suite keeps a number in the 81st column (position 80).
constexpr int NumberColumn = 80;

// Errors this layer makes itself carry the suite's number in place of an SQLite code.
const QString LayerCodePrefix = u"jet"_s;

// "daily" and "ar.mdb" name DAILY.MDB and AR.MDB, in the caller's variable too.
void normalizeName(QString &dbName)
{
    dbName = dbName.toUpper();
    if (!dbName.endsWith(u".MDB"_s))
        dbName += u".MDB"_s;
}

// The missing-database message; a server out of reach or unusable settings add why.
void reportMissing(const QString &dbName, const QString &reason)
{
    SharedState &s = state();
    s.MsgText = u"The "_s + dbName + u" database is missing."_s + u"\r\n"_s
        + u"Contact Pellmoor technical support for assistance."_s;
    if (!reason.isEmpty())
        s.MsgText += u"\r\n\r\n"_s + reason;
    MsgBox(s.MsgText, BoxButtons::Ok, BoxIcon::Information, u"Uh-oh..."_s);
}

bool isEmptyValue(const QVariant &value)
{
    return !value.isValid() || value.isNull();
}

// The table and the rest ("where ...") of a "select * from T ..." statement.
struct WriteTarget
{
    QString table;
    QString rest;
};

std::optional<WriteTarget> parseWriteTarget(const QString &statement)
{
    static const QRegularExpression pattern(
        uR"(^\s*select\s+\*\s+from\s+(\[[^\]]+\]|"(?:[^"]|"")+"|[^\s;()\[\]"]+)(.*)$)"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(statement);
    if (!match.hasMatch())
        return std::nullopt;
    return WriteTarget { match.captured(1), match.captured(2) };
}

QString quotedName(const QString &name)
{
    QString quoted = name;
    quoted.replace(u'"', u"\"\""_s);
    return u'"' + quoted + u'"';
}

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

DbWriteOutcome writeFailure(const QSqlError &error)
{
    return { false, jetErrorNumber(error), failureDescription(error) };
}

DbWriteOutcome passOnWriteFailure(const QSqlError &error)
{
    passOnDbError(error);
    return writeFailure(error);
}

} // namespace

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

void passOnDbError(const QSqlError &error)
{
    SharedState &s = state();
    s.ErrNumber = jetErrorNumber(error);
    s.ErrDescription = failureDescription(error);
    s.ErrLine = 0;
}

QString sqlLiteral(const QString &text)
{
    QString quoted = text;
    quoted.remove(QChar(0)).replace(u'\'', u"''"_s);
    return u'\'' + quoted + u'\'';
}

// ---- The shared row routines ----

void DbRead(QString &dbName, const QString &statement)
{
    clearError();
    if (dbName.isEmpty() || statement.isEmpty())
        return;
    normalizeName(dbName);
    SharedState &s = state();
    s.MsgText.clear();

    // On a server a schema dropped since is found missing only by the statement, before
    // anything else changes.
    SuiteDb db(dbName);
    if (db.missing()) {
        reportMissing(dbName, db.error().driverText());
        return;
    }
    DoEvents();
    DoEvents();
    if (db.failed()) {
        db.passOnError();
        return;
    }
    QSqlQuery query = db.query(statement);
    DoEvents();
    if (db.missing()) {
        reportMissing(dbName, db.error().driverText());
        return;
    }
    if (db.failed()) {
        db.passOnError();
        return;
    }

    const int count = query.record().count();
    s.RowLastIndex = qint16(count - 1);
    s.RowValues = QVariantList(count);
    s.RowNulls = QList<bool>(count, false);
    if (!query.next()) {
        if (query.lastError().isValid()) {
            passOnDbError(query.lastError());
            return;
        }
        s.MsgText = u"QUIT"_s;
    } else {
        // Only the first row counts; callers read Null as 0 and ask RowNulls when it matters.
        for (int i = 0; i < count; ++i) {
            const QVariant value = query.value(i);
            if (isEmptyValue(value)) {
                s.RowValues[i] = 0;
                s.RowNulls[i] = true;
            } else {
                s.RowValues[i] = value;
            }
        }
    }

    DoEvents();
    query.finish();
    db.close();
    DoEvents();
}

DbWriteOutcome DbWrite(QString &dbName, const QString &statement, const QVariantList &values)
{
    clearError();
    if (dbName.isEmpty() || statement.isEmpty())
        return {};
    normalizeName(dbName);
    SharedState &s = state();
    SuiteDb db(dbName);
    const auto missing = [&db, &dbName] {
        reportMissing(dbName, db.error().driverText());
        return writeFailure(db.error());
    };
    if (db.missing())
        return missing();

    DoEvents();
    DoEvents();
    if (db.failed()) {
        return passOnWriteFailure(db.error());
    }
    // The row is found again by rowid, so the statement must name one table.
    const std::optional<WriteTarget> target = parseWriteTarget(statement);
    if (!target) {
        return passOnWriteFailure(layerError(
            JetError::CannotWriteThrough, u"Cannot write through the statement: "_s + statement));
    }
    QSqlQuery select = db.query(u"select rowid, * from "_s + target->table + target->rest, values);
    DoEvents();
    if (db.missing())
        return missing();
    if (db.failed()) {
        return passOnWriteFailure(db.error());
    }
    const QSqlRecord record = select.record();
    const bool adding = s.AddNewMode;
    const bool haveRow = !adding && select.next();
    if (!adding && !haveRow && select.lastError().isValid()) {
        return passOnWriteFailure(select.lastError());
    }
    const QVariant rowid = haveRow ? select.value(0) : QVariant();
    // The read must end before the write, or the write could not take its lock.
    select.finish();
    const int columns = record.count() - 1;
    s.RowLastIndex = qint16(columns - 1);
    DoEvents();

    // From here on a failure ends the routine quietly, with nothing saved.
    if (!adding && !haveRow) {
        return writeFailure(layerError(JetError::NoCurrentRecord, u"No current record."_s));
    }
    QStringList names;
    QVariantList row;
    for (int i = 0; i < columns; ++i) {
        if (i >= s.RowValues.size() || isEmptyValue(s.RowValues.at(i)))
            continue;
        // Blank text in the column that holds a number for the suite would not be one.
        if (i == NumberColumn && s.RowValues.at(i).toString().trimmed().isEmpty())
            s.RowValues[i] = u"0"_s;
        QVariant value = s.RowValues.at(i);
        // Qt binds a null QString as Null; for the program it is the empty text.
        if (value.typeId() == QMetaType::QString && value.toString().isNull())
            value = u""_s;
        names << quotedName(record.fieldName(i + 1));
        row << value;
    }

    QString sql;
    if (adding) {
        if (names.isEmpty()) {
            sql = u"insert into "_s + target->table + u" default values"_s;
        } else {
            QStringList marks;
            marks.fill(u"?"_s, names.size());
            sql = u"insert into "_s + target->table + u" ("_s + names.join(u", "_s)
                + u") values ("_s + marks.join(u", "_s) + u')';
        }
    } else if (!names.isEmpty()) {
        QStringList assignments;
        for (const QString &name : std::as_const(names))
            assignments << name + u" = ?"_s;
        sql = u"update "_s + target->table + u" set "_s + assignments.join(u", "_s)
            + u" where rowid = ?"_s;
        row << rowid;
    }

    DoEvents();
    if (!sql.isEmpty()) {
        // The same insert comes with every posted chit.
        if (!db.execPrepared(sql, row))
            return writeFailure(db.error());
    }
    DoEvents();
    db.close();
    DbFreeLocks();
    return { true, 0, QString() };
}

void DbAddNewOn()
{
    state().AddNewMode = true;
    DoEvents();
}

void DbAddNewOff()
{
    state().AddNewMode = false;
    DoEvents();
}

} // namespace tallic
