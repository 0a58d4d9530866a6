#pragma once

#include <QSqlDatabase>
#include <QString>

#include "basic/result.h"

namespace tallic::tools {

// Opens a suite database of the working folder (a file found whatever the letter case, or
// its schema on the server the folder's tallic.ini names) under a connection name,
// read-only unless asked; never creates a database that is not there.
// The connection is reused when it is open already. The caller removes the name after its
// last use, whether the connection opened or not.
Result<QSqlDatabase> openSuiteFile(const QString &connection, const QString &file,
                                   bool writable = false);

// The statement as the working folder's engine takes it (see datasource.h).
QString suiteStatement(const QString &sql);

} // namespace tallic::tools
