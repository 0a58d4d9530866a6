#pragma once

#include <QSqlDatabase>
#include <QString>

namespace tallic {

// What the layer asks of SQLite itself, below Qt's driver, for a suite database file.

// Adds Jet's ucase$() and fix() to the open connection; false when they cannot be added.
bool registerJetFunctions(const QSqlDatabase &db);

// Calls wait(context, attempt) whenever a statement meets another connection's lock; the
// statement tries again while it returns non-zero.
void setLockWait(const QSqlDatabase &db, int (*wait)(void *context, int attempt), void *context);

// Whether the file the connection reads has been deleted, replaced or renamed since it was
// opened; true when that cannot be told.
bool fileHasMoved(const QSqlDatabase &db);

// Leaves the connection as a closed file would be: no statement running, no transaction.
void settleFile(const QSqlDatabase &db);

// Copies the attached database of the connection ("daily", or "main") page by page into a
// new file at the path; false with the reason when it cannot.
bool copyDatabase(const QSqlDatabase &db, const QString &schema, const QString &path,
                  QString &problem);

} // namespace tallic
