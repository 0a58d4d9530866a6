#pragma once

#include "commands.h"
#include "console.h"

#include <QString>

namespace tallic::club {

// A backup file: a first line naming the format, each database as an SQLite file starting
// on a page of its own, a manifest (JSON, one line) of the databases with their places and
// checksums and of every table's rows, and last the manifest's offset (twenty digits and a
// line feed). The databases are one moment of the club: SQLite's online backup of every
// file inside one read transaction, or one repeatable-read transaction over every schema of
// a server. An existing file is refused unless overwrite; the file is readable as the
// folder it is in says (filePermissionsIn()).
Result<void> backupClub(const Folder &folder, const QString &file, bool overwrite,
                        Console &console);

// Who is keying chits on the data folder by its staff table; empty when nobody is.
QString keyingByStaffTable(const DataSource &target);

} // namespace tallic::club
