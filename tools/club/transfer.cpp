#include "transfer.h"

#include "commands.h"
#include "jetfile.h"
#include "pipeline.h"
#include "tablewriter.h"

#include "store/database.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <future>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

class JetFolder : public ClubSource
{
public:
    Result<void> open(const QString &folder)
    {
        for (const SuiteDatabase &definition : suiteDatabases()) {
            const QString path = findSuiteFile(folder, definition.file);
            if (path.isEmpty())
                continue;
            auto file = std::make_shared<JetFile>();
            if (const Result<void> opened = file->open(path); !opened)
                return opened.context(QFileInfo(path).fileName());
            files_.insert(definition.file, file);
            paths_.insert(definition.file, path);
            order_ << definition.file;
        }
        if (order_.isEmpty())
            return Failure(0,
                           folder
                               + u" holds none of the suite's databases (daily.mdb, config.mdb, "
                                 u"...)"_s);
        return {};
    }
    QStringList databases() const override { return order_; }
    QString origin(const QString &file) const override { return paths_.value(file); }
    Result<QList<TableDef>> tables(const QString &file) override
    {
        return files_.value(file)->tables();
    }
    Result<Figures> readRows(const QString &file, const TableDef &table, qint64 &total,
                             const RowSink &sink) override
    {
        total = files_.value(file)->storedRows(table.name);
        return files_.value(file)->readRows(table, sink);
    }
    // A Jet file's figures are taken as its rows are read.
    Result<Figures> figures(const QString &, const TableDef &) override
    {
        return Failure(0, u"no figures apart from the rows"_s);
    }

private:
    QHash<QString, std::shared_ptr<JetFile>> files_;
    QHash<QString, QString> paths_;
    QStringList order_;
};

class DataFolder : public ClubSource
{
public:
    Result<void> open(const DataSource &source)
    {
        source_ = source;
        const Result<QStringList> present = suiteDatabasesIn(source);
        if (!present)
            return present.failure();
        order_ = *present;
        if (order_.isEmpty())
            return Failure(0,
                           (source.onServer() ? source.database : source.folder)
                               + u" holds none of the suite's databases"_s);
        if (source.onServer()) {
            Result<void> begun = db_.openServer(source);
            if (begun)
                begun = db_.exec(u"begin isolation level repeatable read read only"_s);
            if (!begun)
                return begun;
            // The moment this transaction sees, for the connections that read the rows.
            QSqlQuery query(db_.db());
            if (!query.exec(u"select pg_export_snapshot()"_s) || !query.next())
                return Failure(0, query.lastError().text());
            snapshot_ = query.value(0).toString();
            return {};
        }
        Result<void> begun = db_.openFiles(source.folder, order_, Access::ReadOnly);
        if (begun)
            begun = db_.exec(u"begin"_s);
        // Every file read now, so that the transaction holds one moment of all of them.
        for (const QString &file : std::as_const(order_)) {
            if (begun)
                begun = db_.exec(u"select count(*) from "_s + quotedName(schemaOf(file), false)
                                 + u".sqlite_master"_s);
        }
        return begun;
    }
    QStringList databases() const override { return order_; }
    QString origin(const QString &file) const override
    {
        return source_.onServer() ? u"schema "_s + schemaOf(file) + u" of "_s + source_.database
                                  : findSuiteFile(source_.folder, file);
    }
    Result<QList<TableDef>> tables(const QString &file) override { return db_.tables(file); }
    Result<Figures> readRows(const QString &file, const TableDef &table, qint64 &total,
                             const RowSink &sink) override
    {
        return readWith(file, table, total, [&]() -> Result<void> {
            if (!source_.onServer())
                return db_.readRows(file, table, sink);
            return readServerRowsAside<Rows>(
                source_, snapshot_,
                [&](ClubDb &db, const RowSink &batch) { return db.readRows(file, table, batch); },
                sink);
        });
    }
    std::optional<Result<void>> readAsCopyText(const QString &file, const TableDef &table,
                                               qint64 &total, const TextSink &sink) override
    {
        if (source_.onServer())
            return std::nullopt;
        const Result<qint64> count = db_.count(file, table.name);
        if (!count)
            return Result<void>(count.failure());
        total = *count;
        return db_.readRowsAsCopyText(file, table, sink);
    }
    Result<Figures> figures(const QString &file, const TableDef &table) override
    {
        return db_.figures(file, table);
    }
    std::optional<Result<Figures>> readAsPlainRows(const QString &file, const TableDef &table,
                                                   qint64 &total, const PlainSink &sink) override
    {
        if (!db_.copiesRows(table))
            return std::nullopt;
        return readWith(file, table, total, [&] {
            return readServerRowsAside<PlainRows>(
                source_, snapshot_,
                [&](ClubDb &db, const PlainSink &batch) {
                    return db.readPlainRows(file, table, batch);
                },
                sink);
        });
    }

private:
    // The table's figures, then its rows as read() reads them.
    Result<Figures> readWith(const QString &file, const TableDef &table, qint64 &total,
                             const std::function<Result<void>()> &read)
    {
        const Result<Figures> figures = db_.figures(file, table);
        if (!figures)
            return figures;
        total = figures->rows;
        if (const Result<void> done = read(); !done)
            return done.failure();
        return figures;
    }

    DataSource source_;
    QString snapshot_;
    ClubDb db_;
    QStringList order_;
};

const QHash<QString, QString> &breaks()
{
    static const QHash<QString, QString> text {
        { u"config.mdb"_s, u"Tallic cannot start: its settings are there"_s },
        { u"daily.mdb"_s, u"no chit can be posted or generated"_s },
        { u"ar.mdb"_s, u"service charge and tax cannot be computed, so no chit can be keyed"_s },
        { u"gl.mdb"_s, u"G/L accounts cannot be checked as they are keyed"_s },
        { u"master.mdb"_s, u"members cannot be checked, and AutoGenerate has no member lists"_s },
        { u"master2.mdb"_s, u"balances are not shown while payments are keyed"_s },
        { u"emp.mdb"_s, u"employees cannot be checked as they are keyed"_s },
        { u"user.mdb"_s, u"Tallic cannot record who keys which date, so it cannot start"_s },
    };
    return text;
}

// Writes the rows of one table of the source into the target's new table and builds its
// indexes: the table's figures in the source.
Result<Figures> storeRows(ClubSource &source, TableWriter &writer, ClubDb &db, const QString &file,
                          const TableDef &table, Console &console)
{
    qint64 done = 0, total = 0;
    const auto written = [&](const Result<void> &batch, qsizetype rows) {
        done += rows;
        console.progress(table.name, done, total);
        return batch;
    };
    if (writer.takesCopyText()) {
        const std::optional<Result<void>> copied = source.readAsCopyText(
            file, table, total, [&](const QByteArray &text, qsizetype rows) {
                return written(writer.write(text), rows);
            });
        if (copied) {
            Result<void> stored = *copied ? writer.finish() : *copied;
            if (!stored)
                return stored.failure();
            // The server builds the indexes while the source's figures are read.
            std::future<Result<void>> indexed = writer.execAside(db.indexStatements(file, table));
            const Result<Figures> figures = source.figures(file, table);
            stored = indexed.get();
            return stored ? figures : stored.failure();
        }
    }
    std::optional<Result<Figures>> read;
    if (writer.takesPlainRows())
        read = source.readAsPlainRows(file, table, total, [&](const PlainRows &rows) {
            return written(writer.write(rows), rows.rows());
        });
    if (!read)
        read = source.readRows(file, table, total, [&](const Rows &rows) {
            return written(writer.write(rows), rows.size());
        });
    Result<void> stored = *read ? writer.finish() : Result<void>(read->failure());
    if (stored)
        stored = db.addIndexes(file, table);
    return stored ? *read : stored.failure();
}

// Writes one table of the source into the target's database and checks it against the
// source.
Result<TableReport> transferTable(ClubSource &source, ClubDb &db, const QString &file,
                                  const TableDef &table, Console &console)
{
    if (const Result<void> created = db.createTable(file, table); !created)
        return created.failure().context(file + u", table "_s + table.name);
    TableReport entry { file, table, {}, {}, {} };
    {
        TableWriter writer(db, file, table);
        const Result<Figures> read = storeRows(source, writer, db, file, table, console);
        if (!read)
            return read.failure();
        entry.source = *read;
    }
    const Result<Figures> written = db.figures(file, table);
    if (!written)
        return written.failure();
    entry.target = *written;
    entry.differences = compareFigures(table, entry.source, entry.target);
    console.line(
        u"  %1: %2 rows%3"_s.arg(table.name)
            .arg(entry.target.rows)
            .arg(entry.differences.isEmpty() ? QString() : u", DIFFERS from the source"_s));
    return entry;
}

} // namespace

Result<std::unique_ptr<ClubSource>> jetFolder(const QString &folder)
{
    auto source = std::make_unique<JetFolder>();
    if (const Result<void> opened = source->open(folder); !opened)
        return opened.failure();
    return std::unique_ptr<ClubSource>(std::move(source));
}

Result<std::unique_ptr<ClubSource>> dataFolder(const DataSource &data)
{
    auto source = std::make_unique<DataFolder>();
    if (const Result<void> opened = source->open(data); !opened)
        return opened.failure();
    return std::unique_ptr<ClubSource>(std::move(source));
}

QString whatItBreaks(const QString &file)
{
    return breaks().value(file.toLower());
}

QStringList missingForProgram(const QString &file, const QList<TableDef> &tables)
{
    QStringList missing;
    const SuiteDatabase *suite = suiteDatabase(file);
    if (!suite)
        return missing;
    TableColumns columns;
    for (const TableDef &table : tables) {
        QStringList &names = columns[table.name.toLower()];
        names.clear(); // of two tables whose names differ only in case, the last counts
        for (const ColumnDef &column : table.columns)
            names << column.name.toLower();
    }
    const QString breaks = whatItBreaks(file);
    for (const TableGap &gap : gapsForProgram(*suite, columns)) {
        const QString &wanted = gap.table->name;
        if (gap.missing) {
            missing << u"%1 has no table %2: %3"_s.arg(suite->file, wanted, breaks);
            continue;
        }
        for (const QString &column : gap.columns)
            missing << u"%1, table %2 has no column %3: %4"_s.arg(suite->file, wanted, column,
                                                                  breaks);
        if (gap.has < gap.table->positions)
            missing << u"%1, table %2 has %3 columns where the program reads %4: %5"_s.arg(
                suite->file, wanted, QString::number(gap.has),
                QString::number(gap.table->positions), breaks);
    }
    return missing;
}

bool Report::agrees() const
{
    for (const TableReport &table : tables) {
        if (!table.differences.isEmpty())
            return false;
    }
    return true;
}

QString Report::text() const
{
    QString text = title + u'\n' + QDateTime::currentDateTime().toString(Qt::ISODate) + u"\n\n"_s;
    QString file;
    for (const TableReport &t : tables) {
        if (t.file != file) {
            file = t.file;
            text += file + u'\n';
        }
        text += u"  %1: %2 rows, %3 in the source: %4\n"_s.arg(t.table.name)
                    .arg(t.target.rows)
                    .arg(t.source.rows)
                    .arg(t.differences.isEmpty() ? u"agrees"_s : u"DIFFERS"_s);
        for (qsizetype i = 0; i < t.table.columns.size(); ++i) {
            const ColumnDef &column = t.table.columns.at(i);
            const bool numeric = column.kind != ColumnKind::Text && column.kind != ColumnKind::Blob;
            text += u"    %1 %2 %3 (source %4)\n"_s.arg(
                column.name, numeric ? u"sum"_s : u"length"_s,
                QString::number(t.target.columns.value(i), 'f', numeric ? 4 : 0),
                QString::number(t.source.columns.value(i), 'f', numeric ? 4 : 0));
        }
        for (const QString &difference : t.differences)
            text += u"    DIFFERS: "_s + difference + u'\n';
    }
    if (!warnings.isEmpty()) {
        text += u"\nWhat the program reads and does not find:\n"_s;
        for (const QString &warning : warnings)
            text += u"  "_s + warning + u'\n';
    }
    return text;
}

Result<void> transferClub(ClubSource &source, ClubTarget &target, Console &console, Report &report)
{
    for (const SuiteDatabase &definition : suiteDatabases()) {
        if (!source.databases().contains(definition.file))
            report.warnings << u"%1 is not there: %2"_s.arg(definition.file,
                                                            whatItBreaks(definition.file));
    }
    for (const QString &file : source.databases()) {
        const Result<QList<TableDef>> tables = source.tables(file);
        if (!tables)
            return tables.failure().context(source.origin(file));
        console.line(file + u" (from "_s + source.origin(file) + u"), "_s
                     + counted(tables->size(), u"table"_s));
        report.warnings << missingForProgram(file, *tables);
        if (Result<void> added = target.addDatabase(file, false); !added)
            return added;
        for (const TableDef &table : *tables) {
            const Result<TableReport> entry
                = transferTable(source, target.db(), file, table, console);
            if (!entry)
                return entry.failure();
            report.tables << *entry;
        }
    }
    if (!report.agrees())
        return Failure(0, u"the copy differs from its source (see above); nothing was written"_s);
    return {};
}

Result<void> writeClub(ClubSource &source, ClubTarget &target, bool replace, Console &console,
                       Report &report)
{
    Result<void> written = target.begin(replace, console);
    if (written)
        written = transferClub(source, target, console, report);
    if (written)
        written = target.commit();
    return written;
}

} // namespace tallic::club
