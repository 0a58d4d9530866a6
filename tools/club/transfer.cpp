#include "transfer.h"

#include "jetfile.h"
#include "pipeline.h"
#include "serverrows.h"

#include "suite/database.h"

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
    bool open(const QString &folder, QString &problem)
    {
        for (const SuiteDatabase &definition : suiteDatabases()) {
            const QString path = findSuiteFile(folder, definition.file);
            if (path.isEmpty())
                continue;
            auto file = std::make_shared<JetFile>();
            if (!file->open(path, problem)) {
                problem = QFileInfo(path).fileName() + u": "_s + problem;
                return false;
            }
            files_.insert(definition.file, file);
            paths_.insert(definition.file, path);
            order_ << definition.file;
        }
        if (order_.isEmpty()) {
            problem = folder
                + u" holds none of the suite's databases (daily.mdb, config.mdb, "
                  u"...)"_s;
            return false;
        }
        return true;
    }
    QStringList databases() const override { return order_; }
    QString origin(const QString &file) const override { return paths_.value(file); }
    QList<TableDef> tables(const QString &file, QString &problem) override
    {
        return files_.value(file)->tables(problem);
    }
    bool readRows(const QString &file, const TableDef &table, qint64 &total, const RowSink &sink,
                  Figures &figures, QString &problem) override
    {
        total = files_.value(file)->storedRows(table.name);
        return files_.value(file)->readRows(table, sink, figures, problem);
    }

private:
    QHash<QString, std::shared_ptr<JetFile>> files_;
    QHash<QString, QString> paths_;
    QStringList order_;
};

class DataFolder : public ClubSource
{
public:
    bool open(const DataSource &source, QString &problem)
    {
        source_ = source;
        order_ = suiteDatabasesIn(source, problem);
        if (!problem.isEmpty())
            return false;
        if (order_.isEmpty()) {
            problem = (source.onServer() ? source.database : source.folder)
                + u" holds none of the suite's databases"_s;
            return false;
        }
        if (source.onServer()) {
            if (!db_.openServer(source, problem)
                || !db_.exec(u"begin isolation level repeatable read read only"_s, problem))
                return false;
            // The moment this transaction sees, for the connections that read the rows.
            QSqlQuery query(db_.db());
            if (!query.exec(u"select pg_export_snapshot()"_s) || !query.next()) {
                problem = query.lastError().text();
                return false;
            }
            snapshot_ = query.value(0).toString();
            return true;
        }
        if (!db_.openFiles(source.folder, order_, Access::ReadOnly, problem)
            || !db_.exec(u"begin"_s, problem))
            return false;
        // Every file read now, so that the transaction holds one moment of all of them.
        for (const QString &file : std::as_const(order_)) {
            if (!db_.exec(u"select count(*) from "_s + quotedName(schemaOf(file), false)
                              + u".sqlite_master"_s,
                          problem))
                return false;
        }
        return true;
    }
    QStringList databases() const override { return order_; }
    QString origin(const QString &file) const override
    {
        return source_.onServer() ? u"schema "_s + schemaOf(file) + u" of "_s + source_.database
                                  : findSuiteFile(source_.folder, file);
    }
    QList<TableDef> tables(const QString &file, QString &problem) override
    {
        return db_.tables(file, problem);
    }
    bool readRows(const QString &file, const TableDef &table, qint64 &total, const RowSink &sink,
                  Figures &figures, QString &problem) override
    {
        if (!db_.figures(file, table, figures, problem))
            return false;
        total = figures.rows;
        if (!source_.onServer())
            return db_.readRows(file, table, sink, problem);
        return readServerRowsAside(
            source_, snapshot_,
            [&](ClubDb &db, const RowSink &batch, QString &why) {
                return db.readRows(file, table, batch, why);
            },
            sink, problem);
    }

private:
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

} // namespace

std::unique_ptr<ClubSource> jetFolder(const QString &folder, QString &problem)
{
    auto source = std::make_unique<JetFolder>();
    if (!source->open(folder, problem))
        return nullptr;
    return source;
}

std::unique_ptr<ClubSource> dataFolder(const DataSource &data, QString &problem)
{
    auto source = std::make_unique<DataFolder>();
    if (!source->open(data, problem))
        return nullptr;
    return source;
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
    const QString breaks = whatItBreaks(file);
    for (const SuiteTable &wanted : suite->tables) {
        const TableDef *found = nullptr;
        for (const TableDef &table : tables) {
            if (table.name.compare(wanted.name, Qt::CaseInsensitive) == 0)
                found = &table;
        }
        if (!found) {
            missing << u"%1 has no table %2: %3"_s.arg(suite->file, wanted.name, breaks);
            continue;
        }
        for (const QString &column : wanted.named) {
            bool there = false;
            for (const ColumnDef &have : found->columns)
                there = there || have.name.compare(column, Qt::CaseInsensitive) == 0;
            if (!there)
                missing << u"%1, table %2 has no column %3: %4"_s.arg(suite->file, wanted.name,
                                                                      column, breaks);
        }
        if (found->columns.size() < wanted.positions)
            missing << u"%1, table %2 has %3 columns where the program reads %4: %5"_s.arg(
                suite->file, wanted.name, QString::number(found->columns.size()),
                QString::number(wanted.positions), breaks);
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

bool transferClub(ClubSource &source, ClubTarget &target, Console &console, Report &report,
                  QString &problem)
{
    for (const SuiteDatabase &definition : suiteDatabases()) {
        if (!source.databases().contains(definition.file))
            report.warnings << u"%1 is not there: %2"_s.arg(definition.file,
                                                            whatItBreaks(definition.file));
    }
    ClubDb &db = target.db();
    for (const QString &file : source.databases()) {
        const QList<TableDef> tables = source.tables(file, problem);
        if (!problem.isEmpty()) {
            problem = source.origin(file) + u": "_s + problem;
            return false;
        }
        console.line(file + u" (from "_s + source.origin(file) + u"), "_s
                     + QString::number(tables.size()) + u" tables"_s);
        report.warnings << missingForProgram(file, tables);
        if (!target.addDatabase(file, false, problem))
            return false;
        for (const TableDef &table : tables) {
            if (!db.createTable(file, table, problem)) {
                problem = file + u", table "_s + table.name + u": "_s + problem;
                return false;
            }
            TableReport entry { file, table, {}, {}, {} };
            qint64 done = 0, total = 0;
            // On a server, the statement of a batch is written in another thread while the
            // server stores the batch before it.
            std::future<QString> next;
            const auto store
                = [&](QString &why) { return !next.valid() || db.exec(next.get(), why); };
            const bool read = source.readRows(
                file, table, total,
                [&](const Rows &rows, QString &why) {
                    if (db.onServer()) {
                        std::future<QString> written = std::async(
                            std::launch::async,
                            [rows, name = db.table(file, table.name), columns = table.columns] {
                                return serverInsert(name, columns, rows);
                            });
                        if (!store(why))
                            return false;
                        next = std::move(written);
                    } else if (!db.insertRows(file, table, rows, why)) {
                        return false;
                    }
                    done += rows.size();
                    console.progress(table.name, done, total);
                    return true;
                },
                entry.source, problem);
            if (!read || !store(problem) || !db.addIndexes(file, table, problem))
                return false;
            if (!db.figures(file, table, entry.target, problem))
                return false;
            entry.differences = compareFigures(table, entry.source, entry.target);
            console.line(
                u"  %1: %2 rows%3"_s.arg(table.name)
                    .arg(entry.target.rows)
                    .arg(entry.differences.isEmpty() ? QString() : u", DIFFERS from the source"_s));
            report.tables << entry;
        }
    }
    if (!report.agrees()) {
        problem = u"the copy differs from its source (see above); nothing was written"_s;
        return false;
    }
    return true;
}

} // namespace tallic::club
