#include "layout.h"

#include "folderlock.h"
#include "schema.h"
#include "sqlitefiles.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <atomic>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

using Outcome = LayoutCheck::Outcome;

QString literal(const QString &text)
{
    return u'\'' + QString(text).replace(u'\'', u"''"_s) + u'\'';
}

TableColumns tablesOf(QSqlDatabase &db, const QString &schema, bool onServer)
{
    TableColumns tables;
    QSqlQuery query(db);
    const bool read = onServer
        ? query.exec(u"select table_name, column_name from information_schema.columns where "
                     u"table_schema = "_s
                     + literal(schema))
        : query.exec(u"select m.name, p.name from "_s + quotedName(schema, false)
                     + u".sqlite_master m, pragma_table_info(m.name, "_s + literal(schema)
                     + u") p where m.type = 'table'"_s);
    while (read && query.next())
        tables[query.value(0).toString().toLower()] << query.value(1).toString().toLower();
    return tables;
}

// What the database lacks of what the program reads: whole tables, the named columns of the
// tables it has, added at their ends, and their expression indexes.
QStringList upgradeStatements(const SuiteDatabase &definition, const TableColumns &tables,
                              bool onServer)
{
    const QString schema = schemaOf(definition.file);
    const QList<TableGap> gaps = gapsForProgram(definition, tables);
    QStringList statements;
    for (const SuiteTable &table : definition.tables) {
        const auto gap = std::find_if(gaps.cbegin(), gaps.cend(),
                                      [&](const TableGap &g) { return g.table == &table; });
        if (gap != gaps.cend() && gap->missing) {
            statements << tableStatements(table, onServer, schema);
            continue;
        }
        for (const SuiteColumn &column : table.columns) {
            if (gap != gaps.cend() && gap->columns.contains(column.name))
                statements << u"ALTER TABLE "_s + quotedName(schema, onServer) + u'.'
                        + quotedName(table.name, onServer) + u" ADD COLUMN "_s
                        + quotedName(column.name, onServer) + u' '
                        + columnType(column.kind, onServer);
        }
        statements << expressionIndexStatements(table, onServer, schema);
    }
    return statements;
}

// Nothing else may read the databases an upgrade reshapes: it has the folder alone.
bool aloneForUpgrade(LayoutCheck &check)
{
    FolderLock *lock = heldDataFolder();
    const Result<void> alone = lock ? lock->alone() : Result<void>();
    if (alone)
        return true;
    check.outcome = Outcome::InUse;
    check.problem = alone.failure().description;
    return false;
}

// The check ended by a failure, which says why.
LayoutCheck failed(LayoutCheck check, const Failure &failure)
{
    check.outcome = Outcome::Failed;
    check.problem = failure.description;
    return check;
}

// The upgrade's statements, one transaction: done, or rolled back and failed.
LayoutCheck upgraded(QSqlDatabase &db, const QStringList &statements, LayoutCheck check)
{
    if (const Result<void> ran = runStatements(db, statements); !ran) {
        QSqlQuery(u"rollback"_s, db);
        return failed(check, ran.failure());
    }
    check.outcome = Outcome::Upgraded;
    return check;
}

QString stamp()
{
    return QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s);
}

LayoutCheck filesLayout(QSqlDatabase &db, const DataSource &source, const QStringList &files)
{
    LayoutCheck check;
    QStringList older;
    int lowest = SuiteSchemaVersion;
    for (const QString &file : files) {
        const QString schema = quotedName(schemaOf(file), false);
        QSqlQuery query(db), tables(db);
        if (!query.exec(u"PRAGMA "_s + schema + u".user_version"_s) || !query.next()
            || !tables.exec(u"select count(*) from "_s + schema
                            + u".sqlite_master where type = 'table'"_s)
            || !tables.next())
            continue; // a damaged file is the layer's to report
        const int version = query.value(0).toInt();
        if (version > SuiteSchemaVersion) {
            check.outcome = Outcome::Newer;
            check.found = version;
            return check;
        }
        // A file without tables says nothing of its layout.
        if (version < SuiteSchemaVersion && tables.value(0).toInt() > 0) {
            older << file;
            lowest = qMin(lowest, version);
        }
    }
    if (older.isEmpty())
        return check;
    check.found = lowest;
    if (!aloneForUpgrade(check))
        return check;
    check.backup = QDir(source.folder)
                       .filePath(u"before-layout-%1-%2"_s.arg(SuiteSchemaVersion).arg(stamp()));
    Result<void> copied = QDir().mkpath(check.backup)
        ? Result<void>()
        : Failure(0, u"the backup folder cannot be made: "_s + check.backup);
    for (const QString &file : files) {
        if (copied)
            copied = copyDatabase(db, schemaOf(file), QDir(check.backup).filePath(file));
    }
    if (!copied)
        return failed(check, copied.failure());
    QStringList statements { u"BEGIN IMMEDIATE"_s };
    for (const QString &file : std::as_const(older)) {
        statements << upgradeStatements(*suiteDatabase(file), tablesOf(db, schemaOf(file), false),
                                        false)
                   << u"PRAGMA "_s + quotedName(schemaOf(file), false) + u".user_version = "_s
                + QString::number(SuiteSchemaVersion);
    }
    statements << u"COMMIT"_s;
    return upgraded(db, statements, check);
}

LayoutCheck serverLayout(QSqlDatabase &db)
{
    LayoutCheck check;
    const Result<QStringList> found = suiteSchemasOn(db);
    if (!found || found->isEmpty())
        return check;
    const QStringList &present = *found;
    QSqlQuery query(db);
    if (query.exec(u"select max(version) from tallic.schema_version"_s) && query.next())
        check.found = query.value(0).toInt();
    if (check.found > SuiteSchemaVersion)
        check.outcome = Outcome::Newer;
    if (check.found >= SuiteSchemaVersion || !aloneForUpgrade(check))
        return check;

    // The copies first, committed on their own: the upgrade may fail, they stay.
    const QString suffix
        = u"_before_layout_%1_%2"_s.arg(SuiteSchemaVersion).arg(stamp().remove(u'-'));
    QStringList copies { u"begin"_s };
    for (const QString &file : std::as_const(present)) {
        const QString schema = schemaOf(file);
        copies << u"create schema "_s + quotedName(schema + suffix, true);
        const TableColumns tables = tablesOf(db, schema, true);
        for (auto it = tables.cbegin(); it != tables.cend(); ++it)
            copies << u"create table "_s + quotedName(schema + suffix, true) + u'.'
                    + quotedName(it.key(), true) + u" as table "_s + quotedName(schema, true) + u'.'
                    + quotedName(it.key(), true);
    }
    copies << u"commit"_s;
    check.backup = u"the schemas *"_s + suffix;
    const Result<void> copied = runStatements(db, copies);
    const Result<QString> textSchema
        = copied ? textSchemaOf(db) : Result<QString>(copied.failure());
    if (!textSchema) {
        QSqlQuery(u"rollback"_s, db);
        return failed(check, textSchema.failure());
    }
    QStringList statements { u"begin"_s, u"set local search_path to "_s + *textSchema };
    for (const QString &file : std::as_const(present))
        statements << upgradeStatements(*suiteDatabase(file), tablesOf(db, schemaOf(file), true),
                                        true);
    statements << versionStatements(SuiteSchemaVersion) << u"commit"_s;
    return upgraded(db, statements, check);
}

} // namespace

LayoutCheck bringLayoutUpToDate(const DataSource &source)
{
    static std::atomic<quint64> serial { 0 };
    const QString connection = u"layout-"_s + QString::number(++serial);
    LayoutCheck check;
    {
        QSqlDatabase db;
        if (source.onServer()) {
            if (const Result<QSqlDatabase> opened = openServerDatabase(connection, source)) {
                db = *opened;
                check = serverLayout(db);
            }
        } else {
            QStringList files;
            for (const SuiteDatabase &definition : suiteDatabases()) {
                if (!findSuiteFile(source.folder, definition.file).isEmpty())
                    files << definition.file;
            }
            QSqlError error;
            // A file another workstation holds is not waited for: the program's own first
            // read of it tells the operator, who may try again.
            if (!files.isEmpty())
                db = openSuiteFiles(connection, source.folder, files, Access::ReadWrite, error, 0);
            if (db.isOpen())
                check = filesLayout(db, source, files);
        }
        // Nothing readable: the program's own opening of each database says why.
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (FolderLock *lock = heldDataFolder())
        lock->share();
    return check;
}

Result<int> readLayout(const DataSource &source)
{
    static std::atomic<quint64> serial { 0 };
    const QString connection = u"layout-read-"_s + QString::number(++serial);
    Result<int> layout = 0;
    {
        QSqlDatabase db;
        QSqlError error;
        QStringList files;
        if (source.onServer()) {
            const Result<QSqlDatabase> opened = openServerDatabase(connection, source);
            if (opened)
                db = *opened;
            else
                layout = opened.failure();
        } else {
            for (const SuiteDatabase &definition : suiteDatabases()) {
                if (!findSuiteFile(source.folder, definition.file).isEmpty())
                    files << definition.file;
            }
            if (!files.isEmpty())
                db = openSuiteFiles(connection, source.folder, files, Access::ReadOnly, error, 0);
            if (!files.isEmpty() && !db.isOpen())
                layout = Failure(0, error.text());
        }
        QStringList versions;
        if (source.onServer())
            versions << u"select max(version) from tallic.schema_version"_s;
        for (const QString &file : std::as_const(files))
            versions << u"PRAGMA "_s + quotedName(schemaOf(file), false) + u".user_version"_s;
        for (const QString &sql : std::as_const(versions)) {
            QSqlQuery query(db);
            if (layout && db.isOpen() && query.exec(sql) && query.next())
                layout = qMax(*layout, query.value(0).toInt());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return layout;
}

} // namespace tallic
