#include "database.h"

#include "storehost.h"

#include "basic/numbers.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <optional>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// While on, the next DbWrite adds a new row: the calling order the suite's modules follow
// (DbAddNewOn, DbWrite, DbAddNewOff).
bool addNewMode = false;

// Of a wide row, the suite keeps a number in the 81st column (position 80).
constexpr int NumberColumn = 80;

// "daily" and "ar.mdb" name DAILY.MDB and AR.MDB, in the caller's variable too.
void normalizeName(QString &dbName)
{
    dbName = dbName.toUpper();
    if (!dbName.endsWith(u".MDB"_s))
        dbName += u".MDB"_s;
}

// The missing-database message, shown here; a server out of reach or unusable settings
// add why. The failure keeps the engine's number and text.
Failure reportMissing(const QString &dbName, Failure failure)
{
    QString text = u"The "_s + dbName + u" database is missing."_s + u"\r\n"_s
        + u"Contact Pellmoor technical support for assistance."_s;
    if (!failure.reason.isEmpty())
        text += u"\r\n\r\n"_s + failure.reason;
    storeHost().tell(text, u"Uh-oh..."_s, StoreHost::Tone::Information);
    failure.shown = true;
    return failure;
}

// Whether the failure is the database's absence (or a server out of reach).
bool isMissing(const Failure &failure)
{
    return failure.number == JetError::FileNotFound;
}

// Opens the database for DbRead or DbWrite: a missing one is told here; the windows
// repaint either way before the statement.
Result<void> openForCall(SuiteDb &db, const QString &dbName)
{
    const Result<void> opened = db.open();
    if (!opened && isMissing(opened.failure()))
        return reportMissing(dbName, opened.failure());
    storeHost().letEventsRun();
    storeHost().letEventsRun();
    return opened;
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
    // Each chit comes with the same statement: the last one read is kept.
    thread_local QString lastStatement;
    thread_local std::optional<WriteTarget> lastTarget;
    if (!lastStatement.isNull() && statement == lastStatement)
        return lastTarget;
    static const QRegularExpression pattern(
        uR"(^\s*select\s+\*\s+from\s+(\[[^\]]+\]|"(?:[^"]|"")+"|[^\s;()\[\]"]+)(.*)$)"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(statement);
    lastStatement = statement;
    lastTarget = match.hasMatch()
        ? std::optional<WriteTarget>(WriteTarget { match.captured(1), match.captured(2) })
        : std::nullopt;
    return lastTarget;
}

QString quotedName(const QString &name)
{
    QString quoted = name;
    quoted.replace(u'"', u"\"\""_s);
    return u'"' + quoted + u'"';
}

// A failure once the values are being written: the routine ends without a word.
Failure quietFailure(const QSqlError &error, const QString &dbName)
{
    Failure failure = dbFailure(error, dbName);
    failure.quiet = true;
    return failure;
}

} // namespace

// ---- The shared row routines ----

bool DbRow::isNull(int position) const
{
    return position < 0 || position >= values.size() || nulls.value(position, true);
}

QString DbRow::text(int position) const
{
    return isNull(position) ? QString() : values.at(position).toString();
}

double DbRow::number(int position) const
{
    if (isNull(position))
        return 0;
    // Its text may be in exponent form ("1e+05").
    const QVariant &value = values.at(position);
    return value.typeId() == QMetaType::QString ? Val(value.toString()) : value.toDouble();
}

Result<DbRow> DbRead(QString &dbName, const QString &statement)
{
    if (dbName.isEmpty() || statement.isEmpty())
        return DbRow();
    normalizeName(dbName);

    // On a server a schema dropped since is found missing only by the statement, before
    // anything else changes.
    SuiteDb db(dbName);
    if (const Result<void> opened = openForCall(db, dbName); !opened)
        return opened.failure();
    // Only the first row counts. The same reads come with every chit, so a file keeps
    // their statements prepared.
    const Result<SuiteDb::FirstRow> first = db.firstRow(statement, {});
    storeHost().letEventsRun();
    if (!first && isMissing(first.failure()))
        return reportMissing(dbName, first.failure());
    if (!first)
        return first.failure();

    const int count = int(first->names.size());
    DbRow row;
    row.values = QVariantList(count);
    row.nulls = QList<bool>(count, false);
    row.found = !first->values.isEmpty();
    // Callers read Null as 0 and ask isNull() when it matters.
    for (int i = 0; row.found && i < count; ++i) {
        row.nulls[i] = isEmptyValue(first->values.at(i));
        row.values[i] = row.nulls[i] ? QVariant(0) : first->values.at(i);
    }

    storeHost().letEventsRun();
    db.close();
    storeHost().letEventsRun();
    return row;
}

namespace {

// The statement that stores the row's non-empty values: an insert, or an update of the
// row at rowid; empty when there is nothing to update. The columns' values are appended
// to bound.
QString writeStatement(const WriteTarget &target, const QStringList &columns,
                       const QVariantList &row, bool adding, const QVariant &rowid,
                       const SqlCondition &onlyIf, QVariantList &bound)
{
    // columns[0] is the rowid; the row's values go with the columns after it.
    QList<int> written;
    for (int i = 0; i < columns.size() - 1; ++i) {
        if (i >= row.size() || isEmptyValue(row.at(i)))
            continue;
        QVariant value = row.at(i);
        // Blank text in the column that holds a number for the suite would not be one.
        if (i == NumberColumn && value.toString().trimmed().isEmpty())
            value = u"0"_s;
        // Qt binds a null QString as Null; for the program it is the empty text.
        if (value.typeId() == QMetaType::QString && value.toString().isNull())
            value = u""_s;
        written << i;
        bound << value;
    }
    if (!adding && !written.isEmpty())
        bound << rowid;
    const QString condition = adding ? onlyIf.sql : QString();
    if (!condition.isEmpty())
        bound << onlyIf.values;

    // Each posted chit writes the same columns of the same table: the last statement made
    // is kept.
    struct Made
    {
        QString table;
        QStringList columns;
        QList<int> written;
        bool adding = false;
        QString condition;
        QString sql;
    };
    thread_local Made last;
    if (last.adding == adding && last.written == written && last.table == target.table
        && last.columns == columns && last.condition == condition && !last.sql.isNull())
        return last.sql;

    QStringList names;
    for (const int i : std::as_const(written))
        names << quotedName(columns.at(i + 1));
    QString sql;
    if (adding && names.isEmpty()) {
        sql = u"insert into "_s + target.table + u" default values"_s;
    } else if (adding) {
        QStringList marks;
        marks.fill(u"?"_s, names.size());
        sql = u"insert into "_s + target.table + u" ("_s + names.join(u", "_s) + u')'
            + (condition.isEmpty()
                   ? u" values ("_s + marks.join(u", "_s) + u')'
                   : u" select "_s + marks.join(u", "_s) + u" where "_s + condition);
    } else if (!names.isEmpty()) {
        QStringList assignments;
        for (const QString &name : std::as_const(names))
            assignments << name + u" = ?"_s;
        sql = u"update "_s + target.table + u" set "_s + assignments.join(u", "_s)
            + u" where rowid = ?"_s;
    }
    last = { target.table, columns, written, adding, condition, sql };
    return sql;
}

// What a new row is written against: the names of the table's columns after the rowid's
// place, and no row.
Result<SuiteDb::FirstRow> addingRow(SuiteDb &db, const QString &table)
{
    const Result<QStringList> columns = db.columnsOf(table);
    if (!columns)
        return columns.failure();
    return SuiteDb::FirstRow { QStringList { u"rowid"_s } + *columns, {} };
}

} // namespace

Result<void> DbWrite(QString &dbName, const QString &statement, const QVariantList &row,
                     const QVariantList &values, const SqlCondition &addedOnlyIf)
{
    if (dbName.isEmpty() || statement.isEmpty())
        return {};
    normalizeName(dbName);
    SuiteDb db(dbName);
    if (const Result<void> opened = openForCall(db, dbName); !opened)
        return opened.failure();
    // The row is found again by rowid, so the statement must name one table.
    const std::optional<WriteTarget> target = parseWriteTarget(statement);
    if (!target) {
        return dbFailure(layerError(JetError::CannotWriteThrough,
                                    u"Cannot write through the statement: "_s + statement),
                         dbName);
    }
    // A new row needs only the table's columns, which the connection knows once read; an
    // update, the row. The read has ended when firstRow() returns, as it must before the
    // write takes its lock.
    const bool adding = addNewMode;
    const Result<SuiteDb::FirstRow> first = adding
        ? addingRow(db, target->table)
        : db.firstRow(u"select rowid, * from "_s + target->table + target->rest, values);
    storeHost().letEventsRun();
    if (!first && isMissing(first.failure()))
        return reportMissing(dbName, first.failure());
    if (!first)
        return first.failure();
    const QStringList &columns = first->names;
    const bool haveRow = !adding && !first->values.isEmpty();
    const QVariant rowid = haveRow ? first->values.at(0) : QVariant();
    storeHost().letEventsRun();

    // From here on a failure ends the routine quietly, with nothing saved.
    if (!adding && !haveRow)
        return quietFailure(layerError(JetError::NoCurrentRecord, u"No current record."_s), dbName);
    QVariantList bound;
    const QString sql = writeStatement(*target, columns, row, adding, rowid, addedOnlyIf, bound);
    storeHost().letEventsRun();
    // The same insert comes with every posted chit.
    if (!sql.isEmpty()) {
        if (const Result<int> written = db.execPrepared(sql, bound); !written) {
            Failure failure = written.failure();
            failure.quiet = true;
            return failure;
        }
    }
    storeHost().letEventsRun();
    db.close();
    DbFreeLocks();
    return {};
}

void DbAddNewOn()
{
    addNewMode = true;
    storeHost().letEventsRun();
}

void DbAddNewOff()
{
    addNewMode = false;
    storeHost().letEventsRun();
}

} // namespace tallic
