#include "sqlitefiles.h"

#include "storehost.h"

#include "basic/cents.h"
#include "database.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

sqlite3 *nativeHandle(const QSqlDatabase &db)
{
    if (!db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

namespace {

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

// The number's cents as the program rounds an amount (Cents::of); Null stays Null. The copy
// of a club checks its sums with it.
void centsFunction(sqlite3_context *context, int, sqlite3_value **arguments)
{
    sqlite3_value *value = arguments[0];
    if (sqlite3_value_type(value) == SQLITE_NULL)
        sqlite3_result_null(context);
    else
        sqlite3_result_int64(context, Cents::of(sqlite3_value_double(value)).count());
}

// Runs a statement that needs no result; its result code.
int run(sqlite3 *handle, const char *sql)
{
    return sqlite3_exec(handle, sql, nullptr, nullptr, nullptr);
}

// The first column of the statement's first row as text; empty when there is none.
QString firstValue(sqlite3 *handle, const char *sql, int &result)
{
    sqlite3_stmt *statement = nullptr;
    result = sqlite3_prepare_v2(handle, sql, -1, &statement, nullptr);
    QString value;
    if (result == SQLITE_OK) {
        result = sqlite3_step(statement);
        if (result == SQLITE_ROW) {
            value = QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
            result = SQLITE_OK;
        } else if (result == SQLITE_DONE) {
            result = SQLITE_OK;
        }
    }
    sqlite3_finalize(statement);
    return value;
}

// ---- Statements bound by SQLite's own calls ----

// A connection that has kept this many statements keeps one-off updates: it starts again.
constexpr qsizetype MaxStatements = 32;

QHash<sqlite3 *, QHash<QString, sqlite3_stmt *>> &keptStatements()
{
    static QHash<sqlite3 *, QHash<QString, sqlite3_stmt *>> kept;
    return kept;
}

void finalizeAll(QHash<QString, sqlite3_stmt *> &statements)
{
    for (sqlite3_stmt *statement : std::as_const(statements))
        sqlite3_finalize(statement);
    statements.clear();
}

// The failure as Qt's driver reports a statement's: its words, SQLite's message and code.
QSqlError statementError(sqlite3 *handle, const QString &words, int code,
                         QSqlError::ErrorType type = QSqlError::StatementError)
{
    return QSqlError(words, QString(reinterpret_cast<const QChar *>(sqlite3_errmsg16(handle))),
                     type, QString::number(code));
}

// ---- Checkpoints at idle moments ----

// A log this long (in pages) is copied into the file, as SQLite's own checkpoint would do.
// Copying it more often would cost more than it saves: the commit after a checkpoint starts
// the log afresh, which takes one sync more.
constexpr int CheckpointPages = 1000;
// Once the log is that long, it waits this long for the program to be idle: a post is long
// over by then, and the operator is keying the next chit.
constexpr int CheckpointDelayMs = 500;
// A program busy with a command is asked again this soon.
constexpr int CheckpointRetryMs = 50;

struct Checkpoints
{
    QSet<QString> pending; // the connections whose logs grew long since their last checkpoint
    QPointer<QTimer> timer;
};

Checkpoints &checkpoints()
{
    static Checkpoints all;
    return all;
}

void (*checkpointWait)() = nullptr;

// Copies the pending logs into their files; a connection inside a transaction of its own
// keeps its turn.
void checkpointNow()
{
    // The log's sync going on beside uses the connection's log: the checkpoint waits for it.
    if (checkpointWait)
        checkpointWait();
    Checkpoints &all = checkpoints();
    const QSet<QString> names = std::exchange(all.pending, {});
    for (const QString &name : names) {
        // Gone by now if the connection was closed: its file was checkpointed then.
        if (!QSqlDatabase::contains(name))
            continue;
        const QSqlDatabase db = QSqlDatabase::database(name, false);
        sqlite3 *handle = db.isOpen() ? nativeHandle(db) : nullptr;
        if (!handle)
            continue;
        // A connection inside a transaction of its own comes back to it later.
        if (!sqlite3_get_autocommit(handle)) {
            all.pending.insert(name);
            continue;
        }
        // Passive: copies what no reader still needs, and waits for nobody.
        sqlite3_wal_checkpoint_v2(handle, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }
}

void checkpointPending()
{
    Checkpoints &all = checkpoints();
    if (storeHost().programIdle())
        checkpointNow();
    if (!all.pending.isEmpty())
        all.timer->start(CheckpointRetryMs);
}

} // namespace

int bindLikeQt(sqlite3_stmt *statement, int position, const QVariant &value,
               std::vector<QByteArray> *held)
{
    if (!value.isValid() || value.isNull())
        return sqlite3_bind_null(statement, position);
    switch (value.typeId()) {
    case QMetaType::QByteArray: {
        const auto *bytes = static_cast<const QByteArray *>(value.constData());
        return sqlite3_bind_blob(statement, position, bytes->constData(), int(bytes->size()),
                                 held ? SQLITE_STATIC : SQLITE_TRANSIENT);
    }
    case QMetaType::Int:
    case QMetaType::Bool:
        return sqlite3_bind_int(statement, position, value.toInt());
    case QMetaType::Double:
        return sqlite3_bind_double(statement, position, value.toDouble());
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return sqlite3_bind_int64(statement, position, value.toLongLong());
    default:
        break;
    }
    // Text, and whatever else as its text (a short integer too, as the driver does).
    if (held) {
        held->push_back(value.toString().toUtf8());
        return sqlite3_bind_text(statement, position, held->back().constData(),
                                 int(held->back().size()), SQLITE_STATIC);
    }
    const QString text = value.toString();
    return sqlite3_bind_text16(statement, position, text.utf16(), int(text.size() * sizeof(QChar)),
                               SQLITE_TRANSIENT);
}

void checkpointBetweenCommits()
{
    Checkpoints &all = checkpoints();
    if (all.pending.isEmpty())
        return;
    checkpointNow();
    if (all.pending.isEmpty() && all.timer)
        all.timer->stop();
}

void setCheckpointWait(void (*wait)())
{
    checkpointWait = wait;
}

namespace {

// Appends zeros to the open log up to length, and syncs them: SQLite reads no frame past
// the last one it wrote, whatever lies there.
bool zeroFillTo(const char *logPath, qint64 length)
{
    // The log's own locks are on its index, not on the log: closing this descriptor
    // releases none of SQLite's.
    const int fd = ::open(logPath, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    if (::fstat(fd, &status) != 0) {
        ::close(fd);
        return false;
    }
    static const QByteArray zeros(64 * 1024, '\0');
    bool done = true;
    for (qint64 at = status.st_size; done && at < length; at += zeros.size()) {
        const qint64 piece = std::min<qint64>(zeros.size(), length - at);
        done = ::pwrite(fd, zeros.constData(), size_t(piece), off_t(at)) == piece;
    }
    done = done && (status.st_size >= length || ::fdatasync(fd) == 0);
    // A disk too full for the zeros gives their room back to the commits: nothing but the
    // zeros lies past the log's old end.
    if (!done)
        (void)::ftruncate(fd, status.st_size);
    ::close(fd);
    return done;
}

} // namespace

bool writesThroughLog(const QSqlDatabase &db)
{
    sqlite3 *handle = nativeHandle(db);
    int result = SQLITE_OK;
    return handle && sqlite3_db_readonly(handle, "main") == 0
        && firstValue(handle, "PRAGMA journal_mode", result) == u"wal"_s;
}

void lengthenLog(const QSqlDatabase &db)
{
    if (!writesThroughLog(db))
        return;
    sqlite3 *handle = nativeHandle(db);
    int result = SQLITE_OK;
    const qint64 pageSize = firstValue(handle, "PRAGMA page_size", result).toLongLong();
    // The log's header, and a header before each page.
    const qint64 length = 32 + CheckpointPages * (pageSize + 24);
    const char *logPath = sqlite3_filename_wal(sqlite3_db_filename(handle, "main"));
    struct stat status;
    if (pageSize <= 0 || !logPath || (::stat(logPath, &status) == 0 && status.st_size >= length))
        return;
    // Only the writer touches the log: with the write lock held, no frame can be written
    // meanwhile, and the log can neither start afresh nor be cut.
    const bool ownTransaction = sqlite3_get_autocommit(handle) != 0;
    if (ownTransaction
        && sqlite3_exec(handle, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return;
    if (sqlite3_txn_state(handle, "main") == SQLITE_TXN_WRITE)
        zeroFillTo(logPath, length);
    if (ownTransaction)
        sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr);
}

void setUpSuiteFile(const QSqlDatabase &db)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle)
        return;
    run(handle, "PRAGMA synchronous = FULL");
    // Reading the file's header finds its journal mode; a file that cannot be read is
    // reported by the statement that reads it.
    int result = SQLITE_OK;
    firstValue(handle, "PRAGMA schema_version", result);
    if (result != SQLITE_OK || sqlite3_db_readonly(handle, "main") == 1
        || firstValue(handle, "PRAGMA journal_mode", result) == u"wal"_s)
        return;
    // Switching needs the file alone: a workstation using it now is not waited for.
    const QString timeout = firstValue(handle, "PRAGMA busy_timeout", result);
    sqlite3_busy_timeout(handle, 0);
    run(handle, "PRAGMA journal_mode = WAL");
    sqlite3_busy_timeout(handle, timeout.toInt());
}

void leaveLogOnClose(const QSqlDatabase &db)
{
    int persist = 1;
    if (sqlite3 *handle = db.isOpen() ? nativeHandle(db) : nullptr)
        sqlite3_file_control(handle, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
}

void checkpointWhenLong(const QString &connection, int pages)
{
    if (pages < CheckpointPages || !QCoreApplication::instance())
        return;
    Checkpoints &all = checkpoints();
    all.pending.insert(connection);
    if (!all.timer) {
        all.timer = new QTimer(QCoreApplication::instance());
        all.timer->setSingleShot(true);
        QObject::connect(all.timer, &QTimer::timeout, &checkpointPending);
    }
    if (!all.timer->isActive())
        all.timer->start(CheckpointDelayMs);
}

namespace {

// Whether Qt's driver must bind the values itself: times and dates, in forms of its own.
bool qtOnly(const QVariantList &values)
{
    return std::any_of(values.cbegin(), values.cend(), [](const QVariant &value) {
        return value.typeId() == QMetaType::QDateTime || value.typeId() == QMetaType::QTime;
    });
}

// The connection's kept statement for the text, prepared once, with the values bound; null
// with the failure in error when it cannot be prepared or bound.
sqlite3_stmt *boundStatement(sqlite3 *handle, const QString &sql, const QVariantList &values,
                             QSqlError &error)
{
    QHash<QString, sqlite3_stmt *> &statements = keptStatements()[handle];
    sqlite3_stmt *statement = statements.value(sql);
    if (!statement) {
        if (statements.size() >= MaxStatements)
            finalizeAll(statements);
        const int prepared = sqlite3_prepare16_v2(
            handle, sql.utf16(), int(sql.size() * sizeof(QChar)), &statement, nullptr);
        if (prepared != SQLITE_OK) {
            error = statementError(handle, u"Unable to execute statement"_s, prepared);
            sqlite3_finalize(statement);
            return nullptr;
        }
        statements.insert(sql, statement);
    }
    sqlite3_clear_bindings(statement);
    for (qsizetype i = 0; i < values.size(); ++i) {
        const int bound = bindLikeQt(statement, int(i + 1), values.at(i));
        if (bound != SQLITE_OK) {
            error = statementError(handle, u"Unable to bind parameters"_s, bound);
            sqlite3_reset(statement);
            return nullptr;
        }
    }
    return statement;
}

// A column's value as Qt's driver reads it.
QVariant columnLikeQt(sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(statement, column)),
                          sqlite3_column_bytes(statement, column));
    case SQLITE_INTEGER:
        return qlonglong(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, column);
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    default:
        return QString(reinterpret_cast<const QChar *>(sqlite3_column_text16(statement, column)),
                       sqlite3_column_bytes16(statement, column) / qsizetype(sizeof(QChar)));
    }
}

// The failure of a step, as the driver reports a row it cannot fetch.
QSqlError stepError(sqlite3 *handle, sqlite3_stmt *statement, int stepped)
{
    const int code = sqlite3_reset(statement);
    return statementError(handle, u"Unable to fetch row"_s, code != SQLITE_OK ? code : stepped,
                          QSqlError::ConnectionError);
}

} // namespace

bool execBound(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
               QSqlError &error, int *changes)
{
    sqlite3 *handle = db.isOpen() ? nativeHandle(db) : nullptr;
    if (!handle || qtOnly(values)) {
        QSqlQuery query(db);
        const bool done = query.prepare(sql) && [&] {
            for (qsizetype i = 0; i < values.size(); ++i)
                query.bindValue(int(i), values.at(i));
            return query.exec();
        }();
        error = done ? QSqlError() : query.lastError();
        if (done && changes)
            *changes = query.numRowsAffected();
        return done;
    }
    sqlite3_stmt *statement = boundStatement(handle, sql, values, error);
    if (!statement)
        return false;
    const int stepped = sqlite3_step(statement);
    if (stepped != SQLITE_DONE && stepped != SQLITE_ROW) {
        error = stepError(handle, statement, stepped);
        return false;
    }
    sqlite3_reset(statement);
    error = QSqlError();
    if (changes)
        *changes = sqlite3_changes(handle);
    return true;
}

bool firstRowBound(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                   QStringList &names, QVariantList &row, QSqlError &error)
{
    names.clear();
    row.clear();
    sqlite3 *handle = db.isOpen() ? nativeHandle(db) : nullptr;
    if (!handle || qtOnly(values)) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        const bool done = query.prepare(sql) && [&] {
            for (qsizetype i = 0; i < values.size(); ++i)
                query.bindValue(int(i), values.at(i));
            return query.exec();
        }();
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i);
        if (done && query.next()) {
            for (int i = 0; i < record.count(); ++i)
                row << query.value(i);
        }
        error = query.lastError();
        return !error.isValid();
    }
    sqlite3_stmt *statement = boundStatement(handle, sql, values, error);
    if (!statement)
        return false;
    const int columns = sqlite3_column_count(statement);
    for (int i = 0; i < columns; ++i) {
        // Qt's driver drops the quotes of a quoted name.
        names << QString(reinterpret_cast<const QChar *>(sqlite3_column_name16(statement, i)))
                     .remove(u'"');
    }
    const int stepped = sqlite3_step(statement);
    if (stepped != SQLITE_DONE && stepped != SQLITE_ROW) {
        error = stepError(handle, statement, stepped);
        return false;
    }
    for (int i = 0; stepped == SQLITE_ROW && i < columns; ++i)
        row << columnLikeQt(statement, i);
    // The read ends here: a write that follows can take its lock.
    sqlite3_reset(statement);
    error = QSqlError();
    return true;
}

void forgetStatements(const QSqlDatabase &db)
{
    sqlite3 *handle = nativeHandle(db);
    const auto found = handle ? keptStatements().find(handle) : keptStatements().end();
    if (found == keptStatements().end())
        return;
    finalizeAll(*found);
    keptStatements().erase(found);
}

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
        == SQLITE_OK
        && sqlite3_create_function_v2(handle, "tallic_cents", 1, flags, nullptr, centsFunction,
                                      nullptr, nullptr, nullptr)
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

int backupInto(sqlite3 *target, sqlite3 *source, const QString &schema)
{
    // Inside the source connection's read transaction, when it has one: the copy is of what
    // that transaction sees.
    sqlite3_backup *backup
        = sqlite3_backup_init(target, "main", source, schema.toUtf8().constData());
    if (!backup)
        return sqlite3_errcode(target);
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

Result<void> copyDatabase(const QSqlDatabase &db, const QString &schema, const QString &path)
{
    sqlite3 *source = nativeHandle(db);
    if (!db.isOpen() || !source)
        return Failure(0, QStringLiteral("the database is not open"));
    sqlite3 *target = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &target,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK)
        rc = backupInto(target, source, schema);
    Result<void> copied;
    if (rc != SQLITE_OK)
        copied
            = Failure(0, QString::fromUtf8(target ? sqlite3_errmsg(target) : sqlite3_errstr(rc)));
    sqlite3_close(target);
    return copied;
}

} // namespace tallic
