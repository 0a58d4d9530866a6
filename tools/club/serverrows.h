#pragma once

#include "clubdb.h"

#include <QString>

namespace tallic::club {

// One statement that inserts the rows into a server's table (its name as a statement writes
// it), given as one array of the table's own row type: the server reads that far quicker
// than a list of rows or an array for each column. Texts keep every character but NUL,
// which a server's text cannot hold.
QString serverInsert(const QString &table, const QList<ColumnDef> &columns, const Rows &rows);

} // namespace tallic::club
