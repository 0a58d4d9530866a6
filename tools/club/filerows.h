#pragma once

#include "clubdb.h"

#include <QSqlDatabase>
#include <QString>

namespace tallic::club {

// Inserts the rows into a table of the connection's files (its name as a statement writes
// it), through SQLite's own calls and many rows to a statement: Qt's binding, and a
// statement run for every row, cost more than SQLite's writing of the rows. Values are
// stored as Qt's driver stores them. The reason when one cannot be written.
Result<void> insertFileRows(const QSqlDatabase &db, const QString &table, qsizetype columns,
                            const Rows &rows);

} // namespace tallic::club
