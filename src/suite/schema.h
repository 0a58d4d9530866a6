#pragma once

#include <QString>

namespace tallic {

// Creates, in the folder, every suite database that is missing there (whatever the letter
// case of an existing file's name), with its tables and indexes; existing files are left
// as they are. When the folder's tallic.ini names a server, the databases are schemas
// there, made the same way.
void createSuiteDatabases(const QString &folder);

// The path of a file of that name in the folder, matched without regard to letter case;
// the empty string when there is none.
QString findSuiteFile(const QString &folder, const QString &fileName);

} // namespace tallic
