#pragma once

#include "clubrows.h"

#include <QSqlDatabase>
#include <QString>

namespace tallic::club {

// Inserts the rows into a table of the connection's files (its name as a statement writes
// it), through SQLite's own calls and many rows to a statement: Qt's binding, and a
// statement run for every row, cost more than SQLite's writing of the rows. Values are
// stored as Qt's driver stores them. The reason when one cannot be written.
Result<void> insertFileRows(const QSqlDatabase &db, const QString &table, qsizetype columns,
                            const Rows &rows);
Result<void> insertFileRows(const QSqlDatabase &db, const QString &table, const PlainRows &rows);

// Every row of a table of the connection's files as the text a server's copy reads, each
// value written as appendCopyRows() writes the value Qt's driver reads, in batches of a
// few hundred kilobytes; never a value of Qt's in between.
Result<void> readFileRowsAsCopyText(const QSqlDatabase &db, const QString &table,
                                    const QList<ColumnDef> &columns, const TextSink &sink);

} // namespace tallic::club
