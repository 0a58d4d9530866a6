#pragma once

#include "console.h"

#include "store/datasource.h"
#include "store/folderlock.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <memory>

namespace tallic::club {

// How a command ended: the one-line verdict, and whether it did what it was asked.
struct Outcome
{
    bool ok = false;
    QString verdict;
};

inline Outcome failed(const QString &why)
{
    return { false, why };
}

// "1 table", "3 tables"; many is one with an s unless given.
QString counted(qint64 n, const QString &one, const QString &many = QString());

// The data folder's source of databases; a folder that does not exist yet holds files.
DataSource dataFolderSource(const QString &folder);

// A data folder as a command has it: where its databases are, the lock the command holds on
// it, and the layout they were written in.
struct Folder
{
    DataSource source;
    std::unique_ptr<FolderLock> lock;
    int layout = 0;

    // The folder, or the server's database.
    QString where() const;
};
// Takes the folder for the command: refused when its settings file cannot be used, when
// others hold it (to have it alone), or when a newer Tallic wrote it. What a stopped command
// left in it is cleared first, and said.
Result<Folder> useFolder(const QString &path, FolderLock::Use use, const QString &command,
                         Console &console);

// Refuses a target that holds any suite database, naming them; empty when it holds none.
QString holdsData(const DataSource &target);

// The eight databases with the suite's tables and one configuration row, all or nothing.
Result<void> createClub(const DataSource &target, const QDate &today, Console &console);
// A new database of the suite's tables into the target begun, with the configuration row
// for config.mdb.
class ClubTarget;
Result<void> addEmptyDatabase(ClubTarget &club, const QString &file, const QDate &today);

Outcome commandNew(const QString &folder, bool postgres, Console &console);
Outcome commandSettings(const QString &folder, const QStringList &assignments, Console &console);
Outcome commandCheck(const QString &folder, Console &console);
Outcome commandImportCsv(const QString &folder, const QStringList &kindsAndFiles, bool update,
                         Console &console);
Outcome commandImportLegacy(const QString &old, const QString &folder, Console &console);
Outcome commandCopy(const QString &from, const QString &to, bool replace, Console &console);
Outcome commandBackup(const QString &folder, const QString &file, bool overwrite, Console &console);
Outcome commandRestore(const QString &file, const QString &folder, bool force, Console &console);

} // namespace tallic::club
