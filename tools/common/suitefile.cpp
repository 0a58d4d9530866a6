#include "suitefile.h"

#include "store/database.h"
#include "store/datasource.h"

#include <QSqlError>

using namespace Qt::Literals::StringLiterals;

namespace tallic::tools {

Result<QSqlDatabase> openSuiteFile(const QString &connection, const QString &file, bool writable)
{
    if (QSqlDatabase::contains(connection))
        return QSqlDatabase::database(connection);
    // Another workstation's write is waited for, as the entry window waits.
    QSqlError error;
    QSqlDatabase db = openSuiteDatabase(connection, currentDataSource(), file,
                                        writable ? Access::ReadWrite : Access::ReadOnly, error);
    if (!error.isValid())
        return db;
    if (jetErrorNumber(error) != JetError::FileNotFound)
        return Failure(0, error.text());
    QString problem = u"The "_s + file.toUpper() + u" database is missing from this folder."_s;
    if (!error.driverText().isEmpty())
        problem += u' ' + error.driverText();
    return Failure(0, problem);
}

QString suiteStatement(const QString &sql)
{
    return currentDataSource().onServer() ? serverStatement(sql) : sql;
}

} // namespace tallic::tools
