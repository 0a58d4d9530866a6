// tallic-club check: what in a data folder keeps the program from working, and what it breaks.
#include "commands.h"
#include "configrows.h"
#include "transfer.h"

#include "basic/masks.h"
#include "suite/localdisk.h"

#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

int layoutVersion(ClubDb &db, const QString &file)
{
    QSqlQuery query(db.db());
    const bool read = db.onServer()
        ? query.exec(u"select max(version) from tallic.schema_version"_s)
        : query.exec(u"pragma "_s + quotedName(schemaOf(file), false) + u".user_version"_s);
    return read && query.next() ? query.value(0).toInt() : 0;
}

void checkConfiguration(ClubDb &db, QStringList &findings)
{
    Result<ConfigRows> rows = readConfigRows(db);
    if (!rows) {
        findings << rows.failure().description + u": Tallic cannot start"_s;
        return;
    }
    QStringList absent;
    for (const Setting &setting : configurationSettings()) {
        const ConfigRow &row = (*rows)[setting.table];
        const Result<int> column = settingColumn(setting, row);
        if (!column) {
            if (!absent.contains(column.failure().description))
                absent << column.failure().description;
            continue;
        }
        const QVariant stored = row.values.at(*column);
        if (setting.kind == Setting::Kind::Account) {
            if (stored.isNull() || stored.toDouble() == 0)
                findings << setting.name + u" (the "_s + setting.caption
                        + u") is not set: chits could be keyed to it; tallic-club settings sets it"_s;
            continue;
        }
        if (setting.kind == Setting::Kind::Text)
            continue;
        const QString text = settingText(setting, stored);
        if (const Result<QVariant> read = settingValue(setting, text, stored); !read)
            findings << u"%1 is \"%2\", where the %3 is %4: Tallic does not start, or "
                        u"reads it wrongly"_s.arg(setting.name, text, setting.caption,
                                                  read.failure().description);
    }
    for (const QString &text : std::as_const(absent))
        findings << text + u": Tallic cannot start"_s;
}

void checkClasses(ClubDb &db, QStringList &findings)
{
    QSqlQuery query(db.db());
    if (!query.exec(
            u"select a.acctnumber, a.classcode from "_s + db.table(u"master.mdb"_s, u"acctinfo"_s)
            + u" a where not exists (select 1 from "_s + db.table(u"master.mdb"_s, u"classcode"_s)
            + u" c where c.classcode = a.classcode) order by a.acctnumber"_s))
        return; // the missing tables are told already
    int shown = 0, more = 0;
    while (query.next()) {
        if (++shown > 20) {
            ++more;
            continue;
        }
        findings << u"member %1 has the class \"%2\", which is not in the classcode table: "
                    u"the member cannot be keyed"_s.arg(shortestNumber(query.value(0).toDouble()),
                                                        query.value(1).toString());
    }
    if (more > 0)
        findings << u"and %1 more members whose class is not there"_s.arg(more);
}

} // namespace

Outcome commandCheck(const QString &folder, Console &console)
{
    const DataSource source = dataFolderSource(folder);
    if (!source.problem.isEmpty())
        return failed(source.problem);
    QStringList findings;
    // SQLite files on a network file system: the program refuses the folder at start.
    if (const QString network = dataFolderRefusal(source.folder); !network.isEmpty())
        findings << network;
    const Result<QStringList> found = suiteDatabasesIn(source);
    if (!found)
        return failed(found.failure().description);
    const QStringList &present = *found;
    for (const SuiteDatabase &definition : suiteDatabases()) {
        if (!present.contains(definition.file))
            findings << definition.file + u" is not there: "_s + whatItBreaks(definition.file);
    }
    ClubDb db;
    const Result<void> open = source.onServer()
        ? db.openServer(source)
        : db.openFiles(source.folder, present, Access::ReadOnly);
    if (!open)
        return failed(open.failure().description);
    for (const QString &file : present) {
        if (!db.onServer()) {
            QSqlQuery integrity(db.db());
            if (!integrity.exec(u"pragma "_s + quotedName(schemaOf(file), false)
                                + u".integrity_check"_s)
                || !integrity.next() || integrity.value(0).toString() != u"ok"_s) {
                findings << u"%1 is damaged (%2): %3"_s.arg(file,
                                                            integrity.lastError().isValid()
                                                                ? integrity.lastError().text()
                                                                : integrity.value(0).toString(),
                                                            whatItBreaks(file));
                continue;
            }
        }
        const int version = layoutVersion(db, file);
        if (version > SuiteSchemaVersion)
            findings << u"%1 was written by a newer Tallic (layout %2, this one reads %3): "
                        u"Tallic does not start on it"_s.arg(file)
                            .arg(version)
                            .arg(SuiteSchemaVersion);
        else if (version < SuiteSchemaVersion)
            console.line(u"%1 is of layout %2: Tallic brings it to %3 at its next start, after "
                         u"a backup"_s.arg(file)
                             .arg(version)
                             .arg(SuiteSchemaVersion));
        const Result<QList<TableDef>> tables = db.tables(file);
        if (!tables) {
            findings << file + u": "_s + tables.failure().description;
            continue;
        }
        findings << missingForProgram(file, *tables);
        console.line(u"  %1: %2 tables"_s.arg(file).arg(tables->size()));
    }
    if (present.contains(u"config.mdb"_s))
        checkConfiguration(db, findings);
    if (present.contains(u"master.mdb"_s))
        checkClasses(db, findings);
    for (const QString &finding : std::as_const(findings))
        console.line(u"FINDING: "_s + finding);
    if (!findings.isEmpty())
        return failed(u"%1 findings in %2"_s.arg(findings.size()).arg(folder));
    return { true,
             u"%1 databases, every table and column the program reads, the "
             u"configuration and every member's class are in order"_s.arg(present.size()) };
}

} // namespace tallic::club
