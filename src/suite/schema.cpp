#include "schema.h"

#include "platform/platform.h"

#include "datasource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <atomic>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// Columns are read by position all through the program, so each list below is in the
// table's column order. Text compares without regard to case, as Jet does: collated so on
// SQLite, case-blind text (citext) on a server, where numbers are double precision and
// integers 64 bits as on SQLite.
struct Column
{
    QString name;
    QString type; // INTEGER, REAL or TEXT
};

struct Table
{
    QString name;
    QList<Column> columns;
    QString key; // unique and not null; every other column may be Null
    QStringList indexed; // other columns that statements look rows up by
};

struct Database
{
    QString file;
    QList<Table> tables;
};

Column integer(const QString &name)
{
    return { name, u"INTEGER"_s };
}
Column real(const QString &name)
{
    return { name, u"REAL"_s };
}
Column text(const QString &name)
{
    return { name, u"TEXT"_s };
}

// Pads a table with unused columns ("arspare05") up to, not including, the position.
void padTo(QList<Column> &columns, const QString &prefix, int position)
{
    while (columns.size() < position)
        columns << text(prefix + u"spare"_s
                        + QString::number(columns.size()).rightJustified(2, u'0'));
}

// The configuration row of the A/R ledger; positions are what the start-up reads.
Table configArTable()
{
    QList<Column> c;
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
    return { u"ar"_s, c, {}, {} };
}

Table configGlTable()
{
    QList<Column> c;
    padTo(c, u"gl"_s, 7);
    c << real(u"glprofitacct"_s);
    return { u"gl"_s, c, {}, {} };
}

const QList<Database> &suiteDatabases()
{
    static const QList<Database> databases {
        { u"config.mdb"_s,
          { configArTable(),
            { u"pos"_s, { integer(u"empvalidate"_s) }, {}, {} },
            configGlTable(),
            { u"company"_s, { text(u"coname"_s), real(u"salestax"_s) }, {}, {} } } },
        { u"daily.mdb"_s,
          { { u"ardaily"_s,
              { real(u"arglacct"_s), text(u"tallicnum"_s), real(u"architdate"_s),
                real(u"armember"_s), real(u"aremployee"_s), real(u"arcovers"_s),
                real(u"arbasesale"_s), real(u"arsrvchg"_s), real(u"artax"_s), real(u"artotal"_s),
                integer(u"arreserved1"_s), integer(u"arreserved2"_s), integer(u"arreserved3"_s),
                integer(u"arreserved4"_s), text(u"arreservedtext"_s), text(u"arorigin"_s),
                text(u"armemo"_s), integer(u"arsource"_s) },
              {},
              { u"tallicnum"_s } } } },
        { u"ar.mdb"_s,
          { { u"ar0"_s,
              { real(u"aracctnum"_s), text(u"aracctname"_s), text(u"arshortname"_s),
                text(u"arcategory"_s), integer(u"arlevel"_s), real(u"arscacct"_s),
                real(u"artaxacct"_s), real(u"arsrvchg"_s), real(u"arsalestax"_s) },
              u"aracctnum"_s,
              {} } } },
        { u"gl.mdb"_s,
          { { u"gl0"_s,
              { real(u"glacctnum"_s), text(u"glacctname"_s), text(u"glstatementdesc"_s),
                text(u"glaccttype"_s), integer(u"gllevel"_s) },
              u"glacctnum"_s,
              {} } } },
        { u"master.mdb"_s,
          { { u"acctinfo"_s,
              { real(u"acctnumber"_s), text(u"lname"_s), text(u"fname"_s), integer(u"taxexempt"_s),
                integer(u"suspended"_s), integer(u"terminated"_s), text(u"classcode"_s) },
              u"acctnumber"_s,
              { u"classcode"_s } },
            { u"classcode"_s,
              { text(u"classcode"_s), text(u"Description"_s) },
              u"classcode"_s,
              {} } } },
        { u"master2.mdb"_s,
          { { u"ar"_s, { real(u"acctnumber"_s), real(u"balfwd"_s) }, u"acctnumber"_s, {} } } },
        { u"emp.mdb"_s,
          { { u"empinfo"_s,
              { integer(u"empid"_s), text(u"emplname"_s), text(u"empfname"_s),
                integer(u"operator"_s), text(u"accessnum"_s) },
              u"empid"_s,
              { u"operator"_s, u"accessnum"_s } } } },
        { u"user.mdb"_s,
          { { u"staff"_s,
              { text(u"username"_s), text(u"location"_s), text(u"work"_s), integer(u"sysuser"_s) },
              u"username"_s,
              { u"work"_s } } } },
    };
    return databases;
}

QString columnType(const Column &column, bool onServer)
{
    if (!onServer)
        return column.type == u"TEXT"_s ? u"TEXT COLLATE NOCASE"_s : column.type;
    if (column.type == u"TEXT"_s)
        return u"citext"_s;
    return column.type == u"REAL"_s ? u"double precision"_s : u"bigint"_s;
}

QStringList tableStatements(const Table &table, bool onServer)
{
    QStringList definitions;
    for (const Column &column : table.columns) {
        QString definition = column.name + u' ' + columnType(column, onServer);
        if (column.name == table.key)
            definition += u" NOT NULL PRIMARY KEY"_s;
        definitions << definition;
    }
    QStringList statements { u"CREATE TABLE "_s + table.name + u" ("_s + definitions.join(u", "_s)
                             + u')' };
    for (const QString &column : table.indexed)
        statements << u"CREATE INDEX "_s + table.name + u'_' + column + u" ON "_s + table.name
                + u" ("_s + column + u')';
    return statements;
}

bool runAll(QSqlDatabase &db, const QStringList &statements)
{
    QSqlQuery query(db);
    for (const QString &statement : statements) {
        if (!query.exec(statement)) {
            qWarning("Cannot create a suite table: %ls: %ls", qUtf16Printable(statement),
                     qUtf16Printable(query.lastError().text()));
            return false;
        }
    }
    return true;
}

void removeWithCompanions(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + u"-wal"_s);
    QFile::remove(path + u"-shm"_s);
    QFile::remove(path + u"-journal"_s);
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
void createDatabase(const QString &folder, const Database &definition)
{
    static std::atomic<quint64> serial { 0 };
    const QString path = QDir(folder).filePath(definition.file);
    const QString building = path + u".building"_s;
    removeWithCompanions(building);

    const QString connection = u"schema-"_s + QString::number(++serial);
    bool complete = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        db.setDatabaseName(building);
        if (db.open()) {
            // Nothing goes to the disk before the file is complete: publish() writes it
            // through once. It is born in write-ahead logging, as every program keeps it.
            QStringList statements { u"PRAGMA synchronous = OFF"_s,
                                     u"PRAGMA journal_mode = DELETE"_s, u"BEGIN"_s };
            for (const Table &table : definition.tables)
                statements << tableStatements(table, false);
            statements << u"COMMIT"_s << u"PRAGMA journal_mode = WAL"_s;
            complete = runAll(db, statements);
            db.close();
        } else {
            qWarning("Cannot create %ls: %ls", qUtf16Printable(building),
                     qUtf16Printable(db.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase(connection);

    if (complete && !QFile::exists(building + u"-journal"_s)
        && !QFile::exists(building + u"-wal"_s))
        publish(building, path);
    removeWithCompanions(building);
}

QString quotedName(const QString &name)
{
    return u'"' + QString(name).replace(u'"', u"\"\""_s) + u'"';
}

// Each missing database as a schema of the server's database, made whole in one
// transaction or not at all; a schema another workstation made meanwhile is left to it.
void createSchemas(const DataSource &source)
{
    static std::atomic<quint64> serial { 0 };
    const QString connection = u"schema-"_s + QString::number(++serial);
    {
        QString problem;
        QSqlDatabase db = openServerDatabase(connection, source, problem);
        QSqlQuery query(db);
        // Case-blind text is the database's, once for every schema.
        if (problem.isEmpty() && !query.exec(u"create extension if not exists citext"_s))
            problem = query.lastError().text();
        if (problem.isEmpty()
            && (!query.exec(u"select quote_ident(n.nspname) from pg_extension e join "
                            u"pg_namespace n on n.oid = e.extnamespace "
                            u"where e.extname = 'citext'"_s)
                || !query.next()))
            problem = u"the citext extension is not there"_s;
        if (!problem.isEmpty()) {
            qWarning("Cannot create the suite's schemas on the server: %ls",
                     qUtf16Printable(problem));
        } else {
            const QString textSchema = query.value(0).toString();
            for (const Database &definition : suiteDatabases()) {
                const QString schema = quotedName(schemaOf(definition.file));
                if (!query.exec(u"select 1 from pg_namespace where nspname = '"_s
                                + schemaOf(definition.file) + u"'"_s)
                    || query.next())
                    continue;
                // Jet's functions in every schema, where the program's statements find them.
                QStringList statements {
                    u"begin"_s, u"create schema "_s + schema,
                    u"set local search_path to "_s + schema + u", "_s + textSchema,
                    u"create function ucase$(text) returns text language sql immutable strict "
                    u"parallel safe as 'select upper($1)'"_s,
                    u"create function fix(double precision) returns double precision language "
                    u"sql immutable strict parallel safe as 'select trunc($1)'"_s
                };
                for (const Table &table : definition.tables)
                    statements << tableStatements(table, true);
                statements << u"commit"_s;
                if (!runAll(db, statements))
                    query.exec(u"rollback"_s);
            }
        }
        query = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

} // namespace

QString findSuiteFile(const QString &folder, const QString &fileName)
{
    return findInFolder(folder, fileName);
}

void createSuiteDatabases(const QString &folder)
{
    const DataSource source = dataSourceOf(folder);
    if (source.onServer()) {
        createSchemas(source);
        return;
    }
    for (const Database &definition : suiteDatabases()) {
        if (findSuiteFile(folder, definition.file).isEmpty())
            createDatabase(folder, definition);
    }
}

} // namespace tallic
