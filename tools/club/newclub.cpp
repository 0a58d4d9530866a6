// tallic-club new: an empty club.
#include "commands.h"
#include "target.h"

#include "store/configuration.h"
#include "store/layout.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

QString counted(qint64 n, const QString &one, const QString &many)
{
    return QString::number(n) + u' ' + (n == 1 ? one : many.isEmpty() ? one + u's' : many);
}

DataSource dataFolderSource(const QString &folder)
{
    return dataSourceOf(QDir(folder).absolutePath());
}

QString Folder::where() const
{
    return source.onServer() ? u"the server's database "_s + source.database : source.folder;
}

Result<Folder> useFolder(const QString &path, FolderLock::Use use, const QString &command,
                         Console &console)
{
    Folder folder;
    folder.source = dataFolderSource(path);
    if (!folder.source.problem.isEmpty())
        return Failure(0, folder.source.problem);
    Result<std::unique_ptr<FolderLock>> lock
        = FolderLock::take(folder.source, u"tallic-club "_s + command, use);
    if (!lock)
        return Failure(0, lock.failure().fullText() + u"; close it there first"_s);
    folder.lock = std::move(*lock);
    if (!folder.source.onServer())
        settleFolder(folder.source.folder, use == FolderLock::Use::Alone, console);
    const Result<int> layout = readLayout(folder.source);
    if (!layout)
        return layout.failure();
    if (*layout > SuiteSchemaVersion)
        return Failure(0,
                       u"%1 was written by a newer Tallic (layout %2; this tallic-club reads "
                       u"layout %3 and older): use the newer tallic-club"_s.arg(folder.where())
                           .arg(*layout)
                           .arg(SuiteSchemaVersion));
    folder.layout = *layout;
    return folder;
}

QString holdsData(const DataSource &target)
{
    const Result<QStringList> found = suiteDatabasesIn(target);
    if (!found)
        return found.failure().fullText();
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

Result<void> addEmptyDatabase(ClubTarget &club, const QString &file, const QDate &today)
{
    if (Result<void> added = club.addDatabase(file, true); !added || file != u"config.mdb"_s)
        return added;
    const SuiteDatabase *config = suiteDatabase(file);
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
    return {};
}

Result<void> createClub(const DataSource &target, const QDate &today, Console &console)
{
    if (const QString held = holdsData(target); !held.isEmpty())
        return Failure(0, held);
    ClubTarget club(target);
    if (Result<void> begun = club.begin(false, console); !begun)
        return begun;
    for (const SuiteDatabase &definition : suiteDatabases()) {
        if (Result<void> added = addEmptyDatabase(club, definition.file, today); !added)
            return added;
    }
    return club.commit();
}

Outcome commandNew(const QString &folder, bool postgres, Console &console)
{
    if (postgres && !dataFolderSource(folder).onServer())
        return failed(u"--postgres needs a tallic.ini in "_s + dataFolderSource(folder).folder
                      + u" that names the server ([database] driver=postgres, host, port, "
                        u"database, user)"_s);
    const Result<Folder> used = useFolder(folder, FolderLock::Use::Alone, u"new"_s, console);
    if (!used)
        return failed(used.failure().fullText());
    const DataSource &target = used->source;
    if (const Result<void> created = createClub(target, QDate::currentDate(), console); !created)
        return failed(created.failure().fullText());
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
