#pragma once

#include "console.h"

#include "suite/datasource.h"

#include <QDate>
#include <QString>
#include <QStringList>

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

// The data folder's source of databases; a folder that does not exist yet holds files.
DataSource dataFolderSource(const QString &folder);
// Refuses a target that holds any suite database, naming them; empty when it holds none.
QString holdsData(const DataSource &target);

// The eight databases with the suite's tables and one configuration row, all or nothing.
Result<void> createClub(const DataSource &target, const QDate &today);

Outcome commandNew(const QString &folder, bool postgres, Console &console);
Outcome commandSettings(const QString &folder, const QStringList &assignments, Console &console);
Outcome commandCheck(const QString &folder, Console &console);
Outcome commandImportCsv(const QString &folder, const QStringList &kindsAndFiles, bool update,
                         Console &console);
Outcome commandImportLegacy(const QString &old, const QString &folder, Console &console);
Outcome commandCopy(const QString &from, const QString &to, bool replace, Console &console);
Outcome commandBackup(const QString &folder, const QString &file, Console &console);
Outcome commandRestore(const QString &file, const QString &folder, bool force, Console &console);

} // namespace tallic::club
