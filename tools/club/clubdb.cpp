#include "clubdb.h"

#include "basic/cents.h"
#include "basic/masks.h"
#include "filerows.h"
#include "pgcopy.h"
#include "serverrows.h"
#include "store/database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <atomic>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

// Rows read or written at a time: large enough that a statement's cost is spread, small
// enough that a batch of wide rows stays a few megabytes.
constexpr int BatchRows = 10000;

bool isNumeric(ColumnKind kind)
{
    return kind == ColumnKind::Integer || kind == ColumnKind::Real || kind == ColumnKind::Currency;
}

qint64 characters(const QString &text)
{
    qint64 n = 0;
    for (QChar c : text)
        n += c.isLowSurrogate() ? 0 : 1;
    return n;
}

Failure unreadableRow(const TableDef &table)
{
    return Failure(0, table.name + u": the server sent a row unreadable as the table's columns"_s);
}

bool agree(double a, double b)
{
    // Sums taken in another order differ in their last digits.
    return std::fabs(a - b) <= 1e-9 * std::max({ 1.0, std::fabs(a), std::fabs(b) });
}

// Added modulo 2^64, as the engines' exact sums are compared only while they fit.
qint64 wrappingSum(qint64 a, qint64 b)
{
    return qint64(quint64(a) + quint64(b));
}

} // namespace

void Figures::add(const QVariantList &row)
{
    ++rows;
    if (columns.size() < row.size()) {
        columns.resize(row.size());
        cents.resize(row.size());
    }
    for (qsizetype i = 0; i < row.size(); ++i) {
        const QVariant &value = row.at(i);
        if (value.isNull())
            continue;
        switch (value.typeId()) {
        case QMetaType::QString:
            columns[i] += double(characters(value.toString()));
            break;
        case QMetaType::QByteArray:
            columns[i] += double(value.toByteArray().size());
            break;
        default:
            columns[i] += value.toDouble();
            cents[i] = wrappingSum(cents[i], Cents::of(value.toDouble()).count());
        }
    }
}

QStringList compareFigures(const TableDef &table, const Figures &source, const Figures &target)
{
    QStringList differences;
    if (source.rows != target.rows)
        differences << u"%1 rows, %2 in the source"_s.arg(target.rows).arg(source.rows);
    for (qsizetype i = 0; i < table.columns.size(); ++i) {
        const QString &name = table.columns.at(i).name;
        const double a = source.columns.value(i), b = target.columns.value(i);
        const qint64 centsA = source.cents.value(i), centsB = target.cents.value(i);
        if (!isNumeric(table.columns.at(i).kind)) {
            if (a != b)
                differences << u"%1: length %2, %3 in the source"_s.arg(name).arg(b).arg(a);
        } else if (centsA != centsB) {
            differences << u"%1: sum %2, %3 in the source"_s.arg(
                name, Cents::fromCount(centsB).text(), Cents::fromCount(centsA).text());
        } else if (!agree(a, b)) {
            differences << u"%1: sum %2, %3 in the source"_s.arg(name, QString::number(b, 'g', 15),
                                                                 QString::number(a, 'g', 15));
        }
    }
    return differences;
}

Result<QStringList> suiteDatabasesIn(const DataSource &source)
{
    QStringList present;
    if (!source.onServer()) {
        for (const SuiteDatabase &definition : suiteDatabases()) {
            if (!findSuiteFile(source.folder, definition.file).isEmpty())
                present << definition.file;
        }
        return present;
    }
    ClubDb club;
    if (const Result<void> opened = club.openServer(source); !opened)
        return opened.failure();
    return suiteSchemasOn(club.db());
}

ClubDb::ClubDb()
{
    static std::atomic<quint64> serial { 0 };
    connection_ = u"club-"_s + QString::number(++serial);
}

ClubDb::~ClubDb()
{
    close();
}

void ClubDb::close()
{
    if (!db_.isValid())
        return;
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

Result<void> ClubDb::openFiles(const QString &folder, const QStringList &files, Access access)
{
    QSqlError error;
    onServer_ = false;
    db_ = openSuiteFiles(connection_, folder, files, access, error);
    if (db_.isOpen())
        return {};
    if (!error.isValid())
        return Failure();
    return Failure(0, error.text().isEmpty() ? error.driverText() : error.text());
}

Result<void> ClubDb::openServer(const DataSource &source)
{
    onServer_ = true;
    const Result<QSqlDatabase> opened = openServerDatabase(connection_, source);
    if (!opened) {
        // The connection's name stays, added, for close() to remove.
        db_ = QSqlDatabase::database(connection_, false);
        return opened.failure();
    }
    db_ = *opened;
    return {};
}

Result<void> ClubDb::attach(const QString &path, const QString &file)
{
    return exec(u"attach database "_s + sqlLiteral(path) + u" as "_s
                + quotedName(schemaOf(file), false));
}

QString ClubDb::table(const QString &file, const QString &table) const
{
    return quotedName(schemaOf(file), onServer_) + u'.' + quotedName(table, onServer_);
}

QString ClubDb::column(const QString &name) const
{
    return quotedName(name, onServer_);
}

QString ClubDb::columnList(const TableDef &table) const
{
    QStringList columns;
    for (const ColumnDef &column : table.columns)
        columns << this->column(column.name);
    return columns.join(u", "_s);
}

Result<void> ClubDb::exec(const QString &sql)
{
    QSqlQuery query(db_);
    if (query.exec(sql))
        return {};
    return Failure(0, query.lastError().text());
}

Result<void> ClubDb::exec(const QStringList &statements)
{
    for (const QString &sql : statements) {
        if (Result<void> done = exec(sql); !done)
            return done;
    }
    return {};
}

Result<QList<TableDef>> ClubDb::tables(const QString &file)
{
    const QString schema = schemaOf(file);
    QList<TableDef> tables;
    QSqlQuery query(db_);
    const bool listed = onServer_
        ? query.exec(u"select c.relname from pg_class c join pg_namespace n on n.oid = "
                     u"c.relnamespace where n.nspname = "_s
                     + sqlLiteral(schema) + u" and c.relkind = 'r' order by c.oid"_s)
        : query.exec(u"select name from "_s + quotedName(schema, false)
                     + u".sqlite_master where type = 'table' and name not like 'sqlite%' "
                       u"order by rowid"_s);
    if (!listed)
        return Failure(0, query.lastError().text());
    while (query.next())
        tables.append({ query.value(0).toString(), {}, {} });

    for (TableDef &table : tables) {
        const QString relation = sqlLiteral(table.name);
        const bool described = onServer_
            ? query.exec(u"select a.attname, format_type(a.atttypid, a.atttypmod), "
                         u"coalesce((select i.indisprimary and i.indnatts = 1 from pg_index i "
                         u"where i.indrelid = a.attrelid and i.indisprimary and a.attnum = "
                         u"any(i.indkey)), false) from pg_attribute a where a.attrelid = "
                         u"(quote_ident("_s
                         + sqlLiteral(schema) + u") || '.' || quote_ident("_s + relation
                         + u"))::regclass and a.attnum > 0 and not a.attisdropped "
                           u"order by a.attnum"_s)
            : query.exec(
                u"select name, type, pk = 1 and (select count(*) from "
                u"pragma_table_info(%1, %2) where pk > 0) = 1 from "
                u"pragma_table_info(%1, %2) order by cid"_s.arg(relation, sqlLiteral(schema)));
        if (!described)
            return Failure(0, table.name + u": "_s + query.lastError().text());
        while (query.next()) {
            const QString type = query.value(1).toString();
            table.columns.append(
                { query.value(0).toString(), columnKindOf(type), onServer_ ? type : QString() });
            if (query.value(2).toBool())
                table.key = query.value(0).toString();
        }
    }
    return tables;
}

Result<void> ClubDb::readRows(const QString &file, const TableDef &table, const RowSink &sink)
{
    if (copiesRows(table)) {
        return readPlainRows(file, table,
                             [&](const PlainRows &rows) { return sink(qtRows(rows)); });
    }
    const QString select = u"select * from "_s + this->table(file, table.name);
    QSqlQuery query(db_);
    // A server hands its rows over a batch at a time through a cursor, never all at once;
    // the driver then takes each batch whole, not row by row as it takes a forward-only one.
    query.setForwardOnly(!onServer_);
    if (onServer_) {
        if (Result<void> declared = exec(u"declare club_rows no scroll cursor for "_s + select);
            !declared)
            return declared;
    }
    const QString fetch = onServer_
        ? u"fetch forward "_s + QString::number(BatchRows) + u" from club_rows"_s
        : select;
    bool more = true;
    if (!onServer_ && !query.exec(select))
        return Failure(0, query.lastError().text());
    while (more) {
        if (onServer_ && !query.exec(fetch))
            return Failure(0, query.lastError().text());
        Rows rows;
        rows.reserve(BatchRows);
        while (rows.size() < BatchRows && query.next()) {
            QVariantList row;
            row.reserve(table.columns.size());
            for (qsizetype i = 0; i < table.columns.size(); ++i)
                row << query.value(int(i));
            rows << row;
        }
        if (query.lastError().isValid())
            return Failure(0, query.lastError().text());
        more = rows.size() == BatchRows;
        if (!rows.isEmpty()) {
            if (Result<void> taken = sink(rows); !taken)
                return taken;
        }
    }
    query.finish();
    if (onServer_)
        return exec(u"close club_rows"_s);
    return {};
}

bool ClubDb::copiesRows(const TableDef &table) const
{
    return onServer_ && PgCopy(db_).available()
        && std::all_of(table.columns.cbegin(), table.columns.cend(),
                       [](const ColumnDef &column) { return exactServerType(column.type); });
}

Result<void> ClubDb::copyRows(const QString &file, const TableDef &table,
                              const std::function<Result<void>(QByteArrayView line)> &take)
{
    PgCopy copy(db_);
    return copy.out(u"copy "_s + this->table(file, table.name) + u" ("_s + columnList(table)
                        + u") to stdout"_s,
                    take);
}

Result<void> ClubDb::readPlainRows(const QString &file, const TableDef &table,
                                   const PlainSink &sink)
{
    PlainRows rows;
    rows.columns = table.columns.size();
    rows.values.reserve(BatchRows * rows.columns);
    const Result<void> copied = copyRows(file, table, [&](QByteArrayView line) -> Result<void> {
        if (!copyRow(line, table.columns, rows))
            return unreadableRow(table);
        if (rows.rows() < BatchRows)
            return {};
        const Result<void> taken = sink(rows);
        rows.values.clear();
        rows.bytes.resize(0);
        return taken;
    });
    return !copied || rows.values.isEmpty() ? copied : sink(rows);
}

Result<void> ClubDb::readRowsAsCopyText(const QString &file, const TableDef &table,
                                        const TextSink &sink)
{
    return readFileRowsAsCopyText(db_, this->table(file, table.name), table.columns, sink);
}

Result<Figures> ClubDb::figures(const QString &file, const TableDef &table)
{
    QStringList terms { u"count(*)"_s };
    for (const ColumnDef &column : table.columns) {
        const QString name = this->column(column.name);
        QString term;
        // A number's cents as the program rounds them: half away from zero on its 15-digit
        // text, as the server turns a double into a numeric, held at the same bound (which
        // least() would make of a Null).
        if (isNumeric(column.kind))
            term = onServer_ ? u"sum(%1)::float8, sum(case when %1 is not null then greatest(-%2, "
                               u"least(%2, round(%1::numeric, 2) * 100)) end)::bigint"_s
                             : u"total(%1), sum(tallic_cents(%1))"_s;
        else if (column.kind == ColumnKind::Blob)
            term = onServer_ ? u"sum(octet_length(%1))::float8"_s : u"total(length(%1))"_s;
        else
            term = onServer_ ? u"sum(length(%1::text))::float8"_s : u"total(length(%1))"_s;
        terms << term.replace(u"%1"_s, name).replace(u"%2"_s, QString::number(Cents::Bound));
    }
    QSqlQuery query(db_);
    if (!query.exec(u"select "_s + terms.join(u", "_s) + u" from "_s
                    + this->table(file, table.name))
        || !query.next())
        return Failure(0, table.name + u": "_s + query.lastError().text());
    Figures figures;
    figures.rows = query.value(0).toLongLong();
    int at = 1;
    for (const ColumnDef &column : table.columns) {
        figures.columns << query.value(at++).toDouble();
        figures.cents << (isNumeric(column.kind) ? query.value(at++).toLongLong() : 0);
    }
    return figures;
}

Result<void> ClubDb::createTable(const QString &file, const TableDef &table)
{
    QStringList definitions;
    for (const ColumnDef &column : table.columns) {
        QString definition = this->column(column.name) + u' ' + columnType(column.kind, onServer_);
        // SQLite cannot add a key later; a server's key is built once the rows are in.
        if (column.name == table.key)
            definition += onServer_ ? u" NOT NULL"_s : u" NOT NULL PRIMARY KEY"_s;
        definitions << definition;
    }
    return exec(u"create table "_s + this->table(file, table.name) + u" ("_s
                + definitions.join(u", "_s) + u')');
}

Result<void> ClubDb::addIndexes(const QString &file, const TableDef &table)
{
    return exec(indexStatements(file, table));
}

QStringList ClubDb::indexStatements(const QString &file, const TableDef &table) const
{
    QStringList statements;
    if (onServer_ && !table.key.isEmpty())
        statements << u"alter table "_s + this->table(file, table.name) + u" add primary key ("_s
                + this->column(table.key) + u')';
    // The program looks rows up by these columns; an old file's table keeps its own key.
    if (const SuiteDatabase *suite = suiteDatabase(file)) {
        for (const SuiteTable &known : suite->tables) {
            if (known.name.compare(table.name, Qt::CaseInsensitive) != 0)
                continue;
            QStringList lookups = known.indexed;
            if (!known.key.isEmpty() && known.key.compare(table.key, Qt::CaseInsensitive) != 0)
                lookups.prepend(known.key);
            for (const QString &wanted : std::as_const(lookups)) {
                for (const ColumnDef &column : table.columns) {
                    if (column.name.compare(wanted, Qt::CaseInsensitive) != 0)
                        continue;
                    const QString index = quotedName(table.name + u'_' + column.name, onServer_);
                    statements << u"create index "_s
                            + (onServer_ ? index : quotedName(schemaOf(file), false) + u'.' + index)
                            + u" on "_s
                            + (onServer_ ? this->table(file, table.name)
                                         : quotedName(table.name, false))
                            + u" ("_s + this->column(column.name) + u')';
                }
            }
            for (const SuiteIndex &index : known.expressions) {
                const bool reads = std::any_of(
                    table.columns.cbegin(), table.columns.cend(), [&index](const ColumnDef &c) {
                        return c.name.compare(index.column, Qt::CaseInsensitive) == 0;
                    });
                SuiteTable only = known;
                only.expressions = { index };
                if (reads)
                    statements << expressionIndexStatements(only, onServer_, schemaOf(file));
            }
        }
    }
    return statements;
}

Result<void> ClubDb::insertRows(const QString &file, const TableDef &table, const Rows &rows)
{
    const QString target = this->table(file, table.name);
    if (onServer_)
        return exec(serverInsert(target, table.columns, rows));
    // A failure in the table's rows is told with the table's name.
    return insertFileRows(db_, target, table.columns.size(), rows).context(table.name);
}

Result<void> ClubDb::insertRows(const QString &file, const TableDef &table, const PlainRows &rows)
{
    return insertFileRows(db_, this->table(file, table.name), rows).context(table.name);
}

Result<qint64> ClubDb::count(const QString &file, const QString &table)
{
    QSqlQuery query(db_);
    if (!query.exec(u"select count(*) from "_s + this->table(file, table)) || !query.next())
        return Failure(0, query.lastError().text());
    return query.value(0).toLongLong();
}

} // namespace tallic::club
