#include "schema.h"

#include "basic/folders.h"
#include "database.h"
#include "datasource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// Text compares without regard to case, as Jet does: collated so on SQLite, case-blind
// text (citext) on a server, where numbers are double precision and integers 64 bits as
// on SQLite.
SuiteColumn integer(const QString &name)
{
    return { name, ColumnKind::Integer };
}
SuiteColumn real(const QString &name)
{
    return { name, ColumnKind::Real };
}
SuiteColumn text(const QString &name)
{
    return { name, ColumnKind::Text };
}

// Pads a table with unused columns ("arspare05") up to, not including, the position.
void padTo(QList<SuiteColumn> &columns, const QString &prefix, int position)
{
    while (columns.size() < position)
        columns << text(prefix + u"spare"_s
                        + QString::number(columns.size()).rightJustified(2, u'0'));
}

QStringList namesOf(const QList<SuiteColumn> &columns)
{
    QStringList names;
    for (const SuiteColumn &column : columns)
        names << column.name;
    return names;
}

// A table whose every column is named by some statement.
SuiteTable namedTable(const QString &name, const QList<SuiteColumn> &columns,
                      const QString &key = {}, const QStringList &indexed = {})
{
    return { name, columns, key, indexed, namesOf(columns), 0 };
}

// The configuration row of the A/R ledger; positions are what the start-up reads, names
// what the month-end view and the workspace editor read.
SuiteTable configArTable()
{
    QList<SuiteColumn> c;
    c << integer(u"arlevel1"_s) << integer(u"arlevel2"_s) << integer(u"arlevel3"_s)
      << integer(u"arlevel4"_s) << real(u"aracct"_s);
    padTo(c, u"ar"_s, 7);
    c << text(u"artaxsrvchg"_s);
    padTo(c, u"ar"_s, 19);
    c << integer(u"arvalidity"_s);
    padTo(c, u"ar"_s, 22);
    c << integer(u"armonth"_s);
    padTo(c, u"ar"_s, 25);
    c << real(u"arsctaxshare"_s) << text(u"arconsolidate"_s);
    for (int key = 1; key <= 12; ++key)
        c << text(u"arfkey"_s + QString::number(key));
    c << text(u"artaxbasis"_s);
    padTo(c, u"ar"_s, 47);
    c << text(u"arskipcheck"_s) << integer(u"aryear"_s);
    return { u"ar"_s, c, {}, {}, { u"armonth"_s, u"aryear"_s, u"arvalidity"_s }, 49 };
}

SuiteTable configGlTable()
{
    QList<SuiteColumn> c;
    padTo(c, u"gl"_s, 7);
    c << real(u"glprofitacct"_s);
    return { u"gl"_s, c, {}, {}, {}, 8 };
}

SuiteTable ardailyTable()
{
    SuiteTable t = namedTable(u"ardaily"_s,
                              { real(u"arglacct"_s), text(u"tallicnum"_s), real(u"architdate"_s),
                                real(u"armember"_s), real(u"aremployee"_s), real(u"arcovers"_s),
                                real(u"arbasesale"_s), real(u"arsrvchg"_s), real(u"artax"_s),
                                real(u"artotal"_s), integer(u"arreserved1"_s),
                                integer(u"arreserved2"_s), integer(u"arreserved3"_s),
                                integer(u"arreserved4"_s), text(u"arreservedtext"_s),
                                text(u"arorigin"_s), text(u"armemo"_s), integer(u"arsource"_s) },
                              {}, { u"tallicnum"_s });
    // A chit keyed again is looked for by its number without regard to letter case and the
    // blanks around it (chitrow.cpp): SQLite's upper() and trim() are built in, so every
    // program that writes the file can keep the index.
    t.expressions = { { u"ardaily_chitnumber"_s, u"tallicnum"_s, u"upper(trim(tallicnum))"_s } };
    // The workspace editor's columns; posting and generation fill all of them by position.
    t.named = QStringList { u"tallicnum"_s,  u"architdate"_s, u"arglacct"_s, u"armember"_s,
                            u"aremployee"_s, u"arbasesale"_s, u"arsrvchg"_s, u"artax"_s,
                            u"artotal"_s,    u"armemo"_s,     u"arorigin"_s };
    t.positions = 18;
    return t;
}

// The program's own table beside ardaily: the key of every write it makes to ardaily, stored
// in the same transaction, so that a write whose COMMIT went unanswered can be looked up
// (writekeys.h). A key found not stored is kept as such (writekind 0): the write it names can
// never be stored after that.
SuiteTable writeKeysTable()
{
    // A write's commit writes one more page for its key, not three: the month's pruning at
    // start reads the table once, unindexed.
    SuiteTable t = namedTable(u"tallic_writes"_s,
                              { text(u"writekey"_s), text(u"writtenat"_s), text(u"writedesc"_s),
                                integer(u"writekind"_s), integer(u"writechecks"_s) },
                              u"writekey"_s);
    t.keyedRows = true;
    return t;
}

SuiteTable ar0Table()
{
    SuiteTable t = namedTable(u"ar0"_s,
                              { real(u"aracctnum"_s), text(u"aracctname"_s), text(u"arshortname"_s),
                                text(u"arcategory"_s), integer(u"arlevel"_s), real(u"arscacct"_s),
                                real(u"artaxacct"_s), real(u"arsrvchg"_s), real(u"arsalestax"_s) },
                              u"aracctnum"_s);
    // The entry window reads the rates by position, generation by name.
    t.named = QStringList { u"aracctnum"_s, u"arsrvchg"_s, u"arsalestax"_s };
    t.positions = 9;
    return t;
}

QList<SuiteDatabase> makeDatabases()
{
    return {
        { u"config.mdb"_s,
          { configArTable(),
            namedTable(u"pos"_s, { integer(u"empvalidate"_s) }),
            configGlTable(),
            { u"company"_s,
              { text(u"coname"_s), real(u"salestax"_s) },
              {},
              {},
              { u"salestax"_s },
              0 } } },
        { u"daily.mdb"_s, { ardailyTable(), writeKeysTable() } },
        { u"ar.mdb"_s, { ar0Table() } },
        { u"gl.mdb"_s,
          { namedTable(u"gl0"_s,
                       { real(u"glacctnum"_s), text(u"glacctname"_s), text(u"glstatementdesc"_s),
                         text(u"glaccttype"_s), integer(u"gllevel"_s) },
                       u"glacctnum"_s) } },
        { u"master.mdb"_s,
          { namedTable(u"acctinfo"_s,
                       { real(u"acctnumber"_s), text(u"lname"_s), text(u"fname"_s),
                         integer(u"taxexempt"_s), integer(u"suspended"_s), integer(u"terminated"_s),
                         text(u"classcode"_s) },
                       u"acctnumber"_s, { u"classcode"_s }),
            namedTable(u"classcode"_s, { text(u"classcode"_s), text(u"Description"_s) },
                       u"classcode"_s) } },
        { u"master2.mdb"_s,
          { namedTable(u"ar"_s, { real(u"acctnumber"_s), real(u"balfwd"_s) }, u"acctnumber"_s) } },
        { u"emp.mdb"_s,
          { namedTable(u"empinfo"_s,
                       { integer(u"empid"_s), text(u"emplname"_s), text(u"empfname"_s),
                         integer(u"operator"_s), text(u"accessnum"_s) },
                       u"empid"_s, { u"operator"_s, u"accessnum"_s }) } },
        { u"user.mdb"_s,
          { namedTable(
              u"staff"_s,
              { text(u"username"_s), text(u"location"_s), text(u"work"_s), integer(u"sysuser"_s) },
              u"username"_s, { u"work"_s }) } },
    };
}

// Gives the finished file its real name, on the disk first, never over a file that another
// workstation has made meanwhile.
void publish(const QString &building, const QString &path)
{
    QFile source(building);
    const QString ready = path + u".ready"_s;
    QSaveFile copy(ready);
    if (!source.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly))
        return;
    const QByteArray contents = source.readAll();
    if (copy.write(contents) != contents.size() || !copy.commit())
        return;
    if (!QFile::rename(ready, path))
        QFile::remove(ready);
}

// Builds the file under a temporary name and gives it its real name only when complete,
// so that a failed creation never leaves a database without its tables.
bool createDatabase(const QString &folder, const SuiteDatabase &definition)
{
    const QString path = QDir(folder).filePath(definition.file);
    const QString building = path + u".building"_s;
    const Result<void> complete = createSuiteFile(building, definition);
    if (!complete)
        qWarning("Cannot create %ls: %ls", qUtf16Printable(path),
                 qUtf16Printable(complete.failure().description));
    else
        publish(building, path);
    removeWithCompanions(building);
    return complete && QFileInfo::exists(path);
}

// Each missing database as a schema of the server's database, made whole in one
// transaction or not at all; a schema another workstation made meanwhile is left to it.
QStringList createSchemas(const DataSource &source)
{
    static std::atomic<quint64> serial { 0 };
    const QString connection = u"schema-"_s + QString::number(++serial);
    QStringList made;
    {
        Result<QSqlDatabase> opened = openServerDatabase(connection, source);
        QSqlDatabase db = opened ? *opened : QSqlDatabase();
        const Result<QString> textSchema
            = opened ? textSchemaOf(db) : Result<QString>(opened.failure());
        if (!textSchema) {
            qWarning("Cannot create the suite's schemas on the server: %ls",
                     qUtf16Printable(textSchema.failure().description));
        } else {
            QSqlQuery query(db);
            for (const SuiteDatabase &definition : suiteDatabases()) {
                const QString schema = schemaOf(definition.file);
                if (!query.exec(u"select 1 from pg_namespace where nspname = "_s
                                + sqlLiteral(schema))
                    || query.next())
                    continue;
                QStringList statements { u"begin"_s };
                statements << schemaStatements(definition, *textSchema)
                           << versionStatements(SuiteSchemaVersion) << u"commit"_s;
                const Result<void> ran = runStatements(db, statements);
                if (ran) {
                    made << definition.file;
                } else {
                    qWarning("Cannot create a suite schema: %ls",
                             qUtf16Printable(ran.failure().description));
                    query.exec(u"rollback"_s);
                }
            }
        }
        db.close();
        opened = Failure();
    }
    QSqlDatabase::removeDatabase(connection);
    return made;
}

} // namespace

const QList<SuiteDatabase> &suiteDatabases()
{
    static const QList<SuiteDatabase> databases = makeDatabases();
    return databases;
}

const SuiteDatabase *suiteDatabase(const QString &name)
{
    const QString schema = schemaOf(name);
    for (const SuiteDatabase &definition : suiteDatabases()) {
        if (schemaOf(definition.file) == schema)
            return &definition;
    }
    return nullptr;
}

QString columnType(ColumnKind kind, bool onServer)
{
    switch (kind) {
    case ColumnKind::Integer:
        return onServer ? u"bigint"_s : u"INTEGER"_s;
    case ColumnKind::Real:
        return onServer ? u"double precision"_s : u"REAL"_s;
    case ColumnKind::Currency:
        return onServer ? u"numeric(19,4)"_s : u"REAL"_s;
    case ColumnKind::Blob:
        return onServer ? u"bytea"_s : u"BLOB"_s;
    case ColumnKind::Text:
        break;
    }
    return onServer ? u"citext"_s : u"TEXT COLLATE NOCASE"_s;
}

ColumnKind columnKindOf(const QString &declaredType)
{
    const QString type = declaredType.toLower();
    if (type.contains(u"int"_s))
        return ColumnKind::Integer;
    if (type.contains(u"numeric"_s) || type.contains(u"decimal"_s))
        return ColumnKind::Currency;
    if (type.contains(u"real"_s) || type.contains(u"floa"_s) || type.contains(u"doub"_s))
        return ColumnKind::Real;
    if (type.contains(u"blob"_s) || type.contains(u"bytea"_s))
        return ColumnKind::Blob;
    return ColumnKind::Text;
}

bool exactServerType(const QString &type)
{
    static const QStringList exact {
        u"bigint"_s,  u"integer"_s, u"smallint"_s, u"real"_s,  u"double precision"_s,
        u"numeric"_s, u"bytea"_s,   u"text"_s,     u"citext"_s
    };
    return exact.contains(type) || type.startsWith(u"numeric("_s)
        || type.startsWith(u"character varying"_s);
}

QList<TableGap> gapsForProgram(const SuiteDatabase &definition, const TableColumns &tables)
{
    QList<TableGap> gaps;
    for (const SuiteTable &table : definition.tables) {
        TableGap gap;
        gap.table = &table;
        const auto found = tables.constFind(table.name.toLower());
        gap.missing = found == tables.constEnd();
        if (!gap.missing) {
            for (const QString &column : table.named) {
                if (!found->contains(column.toLower()))
                    gap.columns << column;
            }
            gap.has = found->size();
        }
        if (gap.missing || !gap.columns.isEmpty() || gap.has < table.positions)
            gaps << gap;
    }
    return gaps;
}

QString quotedName(const QString &name, bool onServer)
{
    // A server folds the names of unquoted statements to lower case: so are its names.
    const QString stored = onServer ? name.toLower() : name;
    return u'"' + QString(stored).replace(u'"', u"\"\""_s) + u'"';
}

QStringList tableStatements(const SuiteTable &table, bool onServer, const QString &schema)
{
    const QString prefix = schema.isEmpty() ? QString() : quotedName(schema, onServer) + u'.';
    QStringList definitions;
    for (const SuiteColumn &column : table.columns) {
        QString definition
            = quotedName(column.name, onServer) + u' ' + columnType(column.kind, onServer);
        if (column.name == table.key)
            definition += u" NOT NULL PRIMARY KEY"_s;
        definitions << definition;
    }
    const QString name = prefix + quotedName(table.name, onServer);
    QStringList statements { u"CREATE TABLE "_s + name + u" ("_s + definitions.join(u", "_s) + u')'
                             + (table.keyedRows && !onServer ? u" WITHOUT ROWID"_s : QString()) };
    // SQLite names an index's schema with the index, a server with the table.
    for (const QString &column : table.indexed)
        statements << u"CREATE INDEX "_s + (onServer ? QString() : prefix)
                + quotedName(table.name + u'_' + column, onServer) + u" ON "_s
                + (onServer ? name : quotedName(table.name, false)) + u" ("_s
                + quotedName(column, onServer) + u')';
    return statements + expressionIndexStatements(table, onServer, schema);
}

QStringList expressionIndexStatements(const SuiteTable &table, bool onServer, const QString &schema)
{
    const QString prefix = schema.isEmpty() ? QString() : quotedName(schema, onServer) + u'.';
    QStringList statements;
    for (const SuiteIndex &index : table.expressions)
        statements << u"CREATE INDEX IF NOT EXISTS "_s + (onServer ? QString() : prefix)
                + quotedName(index.name, onServer) + u" ON "_s + (onServer ? prefix : QString())
                + quotedName(table.name, onServer) + u" ("_s + index.expression + u')';
    return statements;
}

Result<void> createSuiteFile(const QString &path, const SuiteDatabase &definition)
{
    static std::atomic<quint64> serial { 0 };
    removeWithCompanions(path);
    const QString connection = u"schema-"_s + QString::number(++serial);
    Result<void> complete;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        db.setDatabaseName(path);
        if (db.open()) {
            // Nothing goes to the disk before the file is complete: publish() writes it
            // through once. It is born in write-ahead logging, as every program keeps it.
            QStringList statements { u"PRAGMA synchronous = OFF"_s,
                                     u"PRAGMA journal_mode = DELETE"_s, u"BEGIN"_s };
            for (const SuiteTable &table : definition.tables)
                statements << tableStatements(table, false);
            statements << u"PRAGMA user_version = "_s + QString::number(SuiteSchemaVersion)
                       << u"COMMIT"_s << u"PRAGMA journal_mode = WAL"_s;
            complete = runStatements(db, statements);
            db.close();
        } else {
            complete = Failure(0, db.lastError().text());
        }
    }
    QSqlDatabase::removeDatabase(connection);
    if (complete && (QFile::exists(path + u"-journal"_s) || QFile::exists(path + u"-wal"_s)))
        return Failure();
    return complete;
}

Result<void> runStatements(QSqlDatabase &db, const QStringList &statements)
{
    QSqlQuery query(db);
    for (const QString &statement : statements) {
        if (!query.exec(statement))
            return Failure(0, statement + u": "_s + query.lastError().text());
    }
    return {};
}

void prepareForBulkWrite(QSqlDatabase &db)
{
    QSqlQuery query(db);
    query.exec(u"PRAGMA synchronous = OFF"_s);
    query.exec(u"PRAGMA cache_size = -65536"_s);
}

QStringList schemaStatements(const SuiteDatabase &definition, const QString &textSchema)
{
    const QString schema = schemaOf(definition.file);
    // Jet's functions in every schema, where the program's statements find them.
    QStringList statements {
        u"create schema "_s + quotedName(schema, true),
        u"set local search_path to "_s + quotedName(schema, true) + u", "_s + textSchema,
        u"create function ucase$(text) returns text language sql immutable strict "
        u"parallel safe as 'select upper($1)'"_s,
        u"create function fix(double precision) returns double precision language "
        u"sql immutable strict parallel safe as 'select trunc($1)'"_s
    };
    for (const SuiteTable &table : definition.tables)
        statements << tableStatements(table, true, schema);
    return statements;
}

QStringList versionStatements(int version)
{
    return { u"create schema if not exists tallic"_s,
             u"create table if not exists tallic.schema_version (version integer not null)"_s,
             u"delete from tallic.schema_version"_s,
             u"insert into tallic.schema_version values ("_s + QString::number(version) + u')' };
}

Result<QString> textSchemaOf(QSqlDatabase &db)
{
    QSqlQuery query(db);
    // Case-blind text is the database's, once for every schema.
    if (!query.exec(u"create extension if not exists citext"_s))
        return Failure(0, query.lastError().text());
    if (!query.exec(u"select quote_ident(n.nspname) from pg_extension e join "
                    u"pg_namespace n on n.oid = e.extnamespace where e.extname = 'citext'"_s)
        || !query.next())
        return Failure(0, u"the citext extension is not there"_s);
    return query.value(0).toString();
}

QString findSuiteFile(const QString &folder, const QString &fileName)
{
    return findInFolder(folder, fileName);
}

Result<QStringList> suiteSchemasOn(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.exec(u"select nspname from pg_namespace"_s))
        return Failure(0, query.lastError().text());
    QStringList schemas;
    while (query.next())
        schemas << query.value(0).toString();
    QStringList present;
    for (const SuiteDatabase &definition : suiteDatabases()) {
        if (schemas.contains(schemaOf(definition.file)))
            present << definition.file;
    }
    return present;
}

void removeCompanions(const QString &path)
{
    for (const char16_t *suffix : { u"-wal", u"-shm", u"-journal" })
        QFile::remove(path + QString::fromUtf16(suffix));
}

void removeWithCompanions(const QString &path)
{
    QFile::remove(path);
    removeCompanions(path);
}

QStringList createSuiteDatabases(const QString &folder)
{
    const DataSource source = dataSourceOf(folder);
    if (source.onServer())
        return createSchemas(source);
    QStringList made;
    for (const SuiteDatabase &definition : suiteDatabases()) {
        if (findSuiteFile(folder, definition.file).isEmpty() && createDatabase(folder, definition))
            made << definition.file;
    }
    return made;
}

} // namespace tallic
