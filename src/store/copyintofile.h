#pragma once

#include <QSqlDatabase>
#include <QString>

#include "basic/result.h"

namespace tallic {

// Copies the attached database of the connection ("daily", or "main"), as the connection's
// read transaction sees it, through SQLite's online backup into the open file descriptor
// at the offset: written in order a megabyte at a time, each handed to the disk as it
// goes, as a plain copy of a file would be written. The size of the copy, or the reason
// when it cannot be made. The caller syncs the file.
Result<qint64> copyDatabaseIntoFile(const QSqlDatabase &db, const QString &schema, int fd,
                                    qint64 offset);

} // namespace tallic
