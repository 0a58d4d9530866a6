#pragma once

#include "console.h"

#include "suite/datasource.h"

#include <QString>

namespace tallic::club {

// A backup file: a first line naming the format, each database as an SQLite file starting
// on a page of its own, a manifest (JSON, one line) of the databases with their places and
// checksums and of every table's rows, and last the manifest's offset (twenty digits and a
// line feed). The databases are one moment of the club: SQLite's online backup of every
// file inside one read transaction, or one repeatable-read transaction over every schema of
// a server.
Result<void> backupClub(const DataSource &source, const QString &file, Console &console);

// Who runs Tallic on the data folder now, by the staff table (unless ignoreStaff) and by
// this computer's single-instance lock; empty when nobody does.
QString workstationsRunning(const DataSource &target, bool ignoreStaff);

} // namespace tallic::club
