// tallic-club check: what in a data folder keeps the program from working, and what it breaks.
#include "commands.h"
#include "configrows.h"
#include "transfer.h"

#include "basic/masks.h"
#include "store/localdisk.h"

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

using Accounts = QList<std::pair<const Setting *, double>>;

// What the configuration breaks; the accounts it sets, to be found in G/L.
Accounts checkConfiguration(ClubDb &db, QStringList &findings)
{
    Accounts accounts;
    Result<ConfigRows> rows = readConfigRows(db);
    if (!rows) {
        findings << rows.failure().fullText() + u": Tallic cannot start"_s;
        return accounts;
    }
    QStringList absent;
    for (const Setting &setting : configurationSettings()) {
        const ConfigRow &row = (*rows)[setting.table];
        const Result<int> column = settingColumn(setting, row);
        if (!column) {
            if (!absent.contains(column.failure().fullText()))
                absent << column.failure().fullText();
            continue;
        }
        const QVariant stored = row.values.at(*column);
        if (setting.kind == Setting::Kind::Account) {
            if (stored.isNull() || stored.toDouble() == 0)
                findings << setting.name + u" (the "_s + setting.caption
                        + u") is not set: Tallic will not start; tallic-club settings sets it"_s;
            else
                accounts.append({ &setting, stored.toDouble() });
            continue;
        }
        if (setting.kind == Setting::Kind::Text)
            continue;
        const QString text = settingText(setting, stored);
        if (const Result<QVariant> read = settingValue(setting, text, stored); !read)
            findings << u"%1 is \"%2\", where the %3 is %4: Tallic does not start, or "
                        u"reads it wrongly"_s.arg(setting.name, text, setting.caption,
                                                  read.failure().fullText());
    }
    for (const QString &text : std::as_const(absent))
        findings << text + u": Tallic cannot start"_s;
    return accounts;
}

// The first column of each row the statement reads; nothing when the tables are not there
// (which is told already).
QVariantList column(ClubDb &db, const QString &sql)
{
    QVariantList values;
    QSqlQuery query(db.db());
    if (query.exec(sql)) {
        while (query.next())
            values << query.value(0);
    }
    return values;
}

// The accounts chits are posted to: the configuration's in G/L, one at least postable
// (level 1), and rates that are rates.
void checkAccounts(ClubDb &db, const Accounts &accounts, QStringList &findings)
{
    const QString gl = db.table(u"gl.mdb"_s, u"gl0"_s), ar = db.table(u"ar.mdb"_s, u"ar0"_s);
    for (const auto &[setting, number] : accounts) {
        if (column(db,
                   u"select count(*) from "_s + gl + u" where glacctnum = "_s
                       + shortestNumber(number))
                .value(0, 1)
                .toInt()
            == 0)
            findings << u"%1 %2 (the %3) is not a G/L account (gl.mdb, gl0): the chits' %3 side "
                        u"has no account to be posted to"_s.arg(
                            setting->name, shortestNumber(number), setting->caption);
    }
    if (column(db, u"select count(*) from "_s + gl + u" where gllevel = 1"_s).value(0, 1).toInt()
        == 0)
        findings << u"no G/L account is of level 1, the level that marks a postable account: no "
                    u"chit can be posted to any account"_s;
    QSqlQuery rated(db.db());
    if (!rated.exec(u"select aracctnum, arsrvchg, arsalestax from "_s + ar
                    + u" where arsrvchg > 1 or arsalestax > 1 order by aracctnum"_s))
        return;
    while (rated.next())
        findings << u"account %1 has a service-charge rate of %2 and a tax rate of %3, above 1 "
                    u"(0.18 is 18%): no chit can be posted to it at its true rate"_s.arg(
                        shortestNumber(rated.value(0).toDouble()),
                        shortestNumber(rated.value(1).toDouble()),
                        shortestNumber(rated.value(2).toDouble()));
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

// Whether SQLite finds the file whole; a finding when it does not.
bool intact(ClubDb &db, const QString &file, QStringList &findings)
{
    QSqlQuery integrity(db.db());
    if (integrity.exec(u"pragma "_s + quotedName(schemaOf(file), false) + u".integrity_check"_s)
        && integrity.next() && integrity.value(0).toString() == u"ok"_s)
        return true;
    findings << u"%1 is damaged (%2): %3"_s.arg(file,
                                                integrity.lastError().isValid()
                                                    ? integrity.lastError().text()
                                                    : integrity.value(0).toString(),
                                                whatItBreaks(file));
    return false;
}

} // namespace

Outcome commandCheck(const QString &folder, Console &console)
{
    const Result<Folder> used = useFolder(folder, FolderLock::Use::Shared, u"check"_s, console);
    if (!used)
        return failed(used.failure().fullText());
    const DataSource &source = used->source;
    QStringList findings;
    // SQLite files on a network file system: the program refuses the folder at start.
    if (const QString network = dataFolderRefusal(source.folder); !network.isEmpty())
        findings << network;
    const Result<QStringList> found = suiteDatabasesIn(source);
    if (!found)
        return failed(found.failure().fullText());
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
        return failed(open.failure().fullText());
    for (const QString &file : present) {
        if (!db.onServer() && !intact(db, file, findings))
            continue;
        const int version = layoutVersion(db, file);
        if (version < SuiteSchemaVersion)
            console.line(u"%1 is of layout %2: Tallic brings it to %3 at its next start, after "
                         u"a backup"_s.arg(file)
                             .arg(version)
                             .arg(SuiteSchemaVersion));
        const Result<QList<TableDef>> tables = db.tables(file);
        if (!tables) {
            findings << tables.failure().context(file).fullText();
            continue;
        }
        findings << missingForProgram(file, *tables);
        console.line(u"  %1: %2"_s.arg(file, counted(tables->size(), u"table"_s)));
    }
    if (present.contains(u"config.mdb"_s))
        checkAccounts(db, checkConfiguration(db, findings), findings);
    if (present.contains(u"master.mdb"_s))
        checkClasses(db, findings);
    for (const QString &finding : std::as_const(findings))
        console.line(u"FINDING: "_s + finding);
    if (!findings.isEmpty())
        return failed(u"%1 in %2"_s.arg(counted(findings.size(), u"finding"_s), folder));
    return { true,
             u"%1, every table and column the program reads, the configuration, its accounts "
             u"and every member's class are in order"_s.arg(
                 counted(present.size(), u"database"_s)) };
}

} // namespace tallic::club
