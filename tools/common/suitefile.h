#pragma once

#include <QSqlDatabase>
#include <QString>

namespace tallic::tools {

// Opens a suite database of the working folder (a file found whatever the letter case, or
// its schema on the server the folder's tallic.ini names) under a connection name,
// read-only unless asked; never creates a database that is not there.
// The connection is reused when it is open already. On failure, problem says why.
QSqlDatabase openSuiteFile(const QString &connection, const QString &file, QString &problem,
                           bool writable = false);

} // namespace tallic::tools
