#include "sqlitefiles.h"

#include <QSqlDriver>
#include <QString>
#include <QVariant>

#include <sqlite3.h>

#include <cmath>

namespace tallic {

namespace {

sqlite3 *nativeHandle(const QSqlDatabase &db)
{
    if (!db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

// Jet's UCase$: upper case text; Null stays Null.
void ucaseFunction(sqlite3_context *context, int, sqlite3_value **arguments)
{
    sqlite3_value *value = arguments[0];
    if (sqlite3_value_type(value) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const void *text = sqlite3_value_text16(value);
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const QString upper
        = QString::fromUtf16(static_cast<const char16_t *>(text), sqlite3_value_bytes16(value) / 2)
              .toUpper();
    sqlite3_result_text16(context, upper.utf16(), int(upper.size() * 2), SQLITE_TRANSIENT);
}

// Jet's Fix: the number truncated toward zero, of the same kind; Null stays Null.
void fixFunction(sqlite3_context *context, int, sqlite3_value **arguments)
{
    sqlite3_value *value = arguments[0];
    switch (sqlite3_value_numeric_type(value)) {
    case SQLITE_NULL:
        sqlite3_result_null(context);
        break;
    case SQLITE_INTEGER:
        sqlite3_result_int64(context, sqlite3_value_int64(value));
        break;
    case SQLITE_FLOAT:
        sqlite3_result_double(context, std::trunc(sqlite3_value_double(value)));
        break;
    default:
        sqlite3_result_error(context, "Type mismatch", -1);
        break;
    }
}

} // namespace

bool registerJetFunctions(const QSqlDatabase &db)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle)
        return false;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_function_v2(handle, "ucase$", 1, flags, nullptr, ucaseFunction, nullptr,
                                      nullptr, nullptr)
        == SQLITE_OK
        && sqlite3_create_function_v2(handle, "fix", 1, flags, nullptr, fixFunction, nullptr,
                                      nullptr, nullptr)
        == SQLITE_OK;
}

void setLockWait(const QSqlDatabase &db, int (*wait)(void *, int), void *context)
{
    if (sqlite3 *handle = nativeHandle(db))
        sqlite3_busy_handler(handle, wait, context);
}

bool fileHasMoved(const QSqlDatabase &db)
{
    sqlite3 *handle = nativeHandle(db);
    int moved = 0;
    if (!db.isOpen() || !handle
        || sqlite3_file_control(handle, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK)
        return true;
    return moved != 0;
}

void settleFile(const QSqlDatabase &db)
{
    sqlite3 *handle = nativeHandle(db);
    if (!db.isOpen() || !handle)
        return;
    for (sqlite3_stmt *stmt = sqlite3_next_stmt(handle, nullptr); stmt;
         stmt = sqlite3_next_stmt(handle, stmt)) {
        if (sqlite3_stmt_busy(stmt))
            sqlite3_reset(stmt);
    }
    if (!sqlite3_get_autocommit(handle))
        sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool copyDatabase(const QSqlDatabase &db, const QString &schema, const QString &path,
                  QString &problem)
{
    sqlite3 *source = nativeHandle(db);
    if (!db.isOpen() || !source) {
        problem = QStringLiteral("the database is not open");
        return false;
    }
    sqlite3 *target = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &target,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK) {
        // Inside the source connection's read transaction, when it has one: the copy is of
        // what that transaction sees.
        sqlite3_backup *backup
            = sqlite3_backup_init(target, "main", source, schema.toUtf8().constData());
        if (backup) {
            rc = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
            rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        } else {
            rc = sqlite3_errcode(target);
        }
    }
    if (rc != SQLITE_OK)
        problem = QString::fromUtf8(target ? sqlite3_errmsg(target) : sqlite3_errstr(rc));
    sqlite3_close(target);
    return rc == SQLITE_OK;
}

} // namespace tallic
