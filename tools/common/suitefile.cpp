#include "suitefile.h"

#include "platform/platform.h"

#include <QSqlError>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace tallic::tools {

QSqlDatabase openSuiteFile(const QString &connection, const QString &file, QString &problem,
                           bool writable)
{
    if (QSqlDatabase::contains(connection))
        return QSqlDatabase::database(connection);
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
    const QString path = findInWorkingFolder(file);
    if (path.isEmpty()) {
        problem = u"The "_s + file.toUpper() + u" database is missing from this folder."_s;
        return db;
    }
    QUrl url = QUrl::fromLocalFile(path);
    url.setQuery(writable ? u"mode=rw"_s : u"mode=ro"_s);
    // Another workstation's write is waited for, as the entry window waits.
    db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=10000"_s);
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    if (!db.open())
        problem = db.lastError().text();
    return db;
}

} // namespace tallic::tools
