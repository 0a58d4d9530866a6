// tallic-club new: an empty club.
#include "commands.h"
#include "target.h"

#include "suite/configuration.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

DataSource dataFolderSource(const QString &folder)
{
    return dataSourceOf(QDir(folder).absolutePath());
}

QString holdsData(const DataSource &target)
{
    const Result<QStringList> found = suiteDatabasesIn(target);
    if (!found)
        return found.failure().description;
    const QStringList &present = *found;
    if (present.isEmpty())
        return {};
    const QString where
        = target.onServer() ? u"the server's database "_s + target.database : target.folder;
    QStringList names;
    for (const QString &file : present)
        names << (target.onServer() ? schemaOf(file)
                                    : QFileInfo(findSuiteFile(target.folder, file)).fileName());
    return where + u" already holds "_s + names.join(u", "_s);
}

Result<void> createClub(const DataSource &target, const QDate &today)
{
    if (const QString held = holdsData(target); !held.isEmpty())
        return Failure(0, held);
    ClubTarget club(target);
    if (Result<void> begun = club.begin(false); !begun)
        return begun;
    for (const SuiteDatabase &definition : suiteDatabases()) {
        if (Result<void> added = club.addDatabase(definition.file, true); !added)
            return added;
    }
    const SuiteDatabase *config = suiteDatabase(u"config"_s);
    for (const auto &[table, row] : configurationDefaults(today)) {
        TableDef def { table, {}, {} };
        for (const SuiteTable &known : config->tables) {
            if (known.name == table) {
                for (const SuiteColumn &column : known.columns)
                    def.columns.append({ column.name, column.kind });
            }
        }
        if (Result<void> inserted = club.db().insertRows(config->file, def, { row }); !inserted)
            return inserted;
    }
    return club.commit();
}

Outcome commandNew(const QString &folder, bool postgres, Console &console)
{
    const DataSource target = dataFolderSource(folder);
    if (postgres && !target.onServer())
        return failed(u"--postgres needs a tallic.ini in "_s + target.folder
                      + u" that names the server ([database] driver=postgres, host, port, "
                        u"database, user)"_s);
    if (!target.problem.isEmpty())
        return failed(target.problem);
    if (const Result<void> created = createClub(target, QDate::currentDate()); !created)
        return failed(created.failure().description);
    for (const SuiteDatabase &definition : suiteDatabases())
        console.line(u"  "_s + definition.file + u": "_s + QString::number(definition.tables.size())
                     + u" tables"_s);
    const QString where = target.onServer() ? u"on the server's database "_s + target.database
                                            : u"in "_s + target.folder;
    console.line(u"Next: tallic-club settings "_s + folder
                 + u" ar-account=NUMBER profit-account=NUMBER sales-tax-rate=RATE"_s);
    return { true,
             u"a new club "_s + where + u": 8 databases, one configuration row for A/R month "_s
                 + QDate::currentDate().toString(u"M/yyyy"_s) };
}

} // namespace tallic::club
