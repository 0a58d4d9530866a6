#include "database.h"

#include "platform/platform.h"
#include "platform/runtime.h"
#include "sharedstate.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QThread>
#include <QUrl>

#include <sqlite3.h>

#include <atomic>
#include <cmath>
#include <optional>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// Long enough for another workstation to finish any write the suite makes.
int lockWaitLimitMs = 10000;
// Between two tries at a lock: short enough that the window repaints smoothly.
constexpr int LockRetryMs = 20;

// Of a wide row, the suite keeps a number in the 81st column (position 80).
constexpr int NumberColumn = 80;

// Errors this layer makes itself carry the suite's number in place of an SQLite code.
const QString LayerCodePrefix = u"jet"_s;

QSqlError layerError(int jetNumber, const QString &text)
{
    return QSqlError(u"Tallic"_s, text, QSqlError::ConnectionError,
                     LayerCodePrefix + QString::number(jetNumber));
}

// The connections open at this moment, for DbCloseAll. Only the window thread uses them.
QList<SuiteDb *> &openConnections()
{
    static QList<SuiteDb *> connections;
    return connections;
}

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

int registerJetFunctions(sqlite3 *handle)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function_v2(handle, "ucase$", 1, flags, nullptr, ucaseFunction, nullptr,
                                        nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(handle, "fix", 1, flags, nullptr, fixFunction, nullptr,
                                        nullptr, nullptr);
    return rc;
}

// "daily" and "ar.mdb" name DAILY.MDB and AR.MDB, in the caller's variable too.
void normalizeName(QString &dbName)
{
    dbName = dbName.toUpper();
    if (!dbName.endsWith(u".MDB"_s))
        dbName += u".MDB"_s;
}

bool reportMissing(const QString &dbName)
{
    if (!findInWorkingFolder(dbName).isEmpty())
        return false;
    SharedState &s = state();
    s.MsgText = u"The "_s + dbName + u" database is missing."_s + u"\r\n"_s
        + u"Contact Pellmoor technical support for assistance."_s;
    MsgBox(s.MsgText, BoxButtons::Ok, BoxIcon::Information, u"Uh-oh..."_s);
    return true;
}

bool isEmptyValue(const QVariant &value)
{
    return !value.isValid() || value.isNull();
}

// The table and the rest ("where ...") of a "select * from T ..." statement.
struct WriteTarget
{
    QString table;
    QString rest;
};

std::optional<WriteTarget> parseWriteTarget(const QString &statement)
{
    static const QRegularExpression pattern(
        uR"(^\s*select\s+\*\s+from\s+(\[[^\]]+\]|"(?:[^"]|"")+"|[^\s;()\[\]"]+)(.*)$)"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(statement);
    if (!match.hasMatch())
        return std::nullopt;
    return WriteTarget { match.captured(1), match.captured(2) };
}

QString quotedName(const QString &name)
{
    QString quoted = name;
    quoted.replace(u'"', u"\"\""_s);
    return u'"' + quoted + u'"';
}

bool isLockFailure(const QSqlError &error)
{
    bool numeric = false;
    const int primary = error.nativeErrorCode().toInt(&numeric) & 0xff;
    return numeric && (primary == SQLITE_BUSY || primary == SQLITE_LOCKED);
}

// The engine's text, but the suite's own words for a lock: the operator is to try again.
QString failureDescription(const QSqlError &error)
{
    if (isLockFailure(error))
        return lockedDatabaseText();
    return error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
}

DbWriteOutcome writeFailure(const QSqlError &error)
{
    return { false, jetErrorNumber(error), failureDescription(error) };
}

DbWriteOutcome passOnWriteFailure(const QSqlError &error)
{
    passOnDbError(error);
    return writeFailure(error);
}

} // namespace

int jetErrorNumber(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    if (code.startsWith(LayerCodePrefix))
        return code.mid(LayerCodePrefix.size()).toInt();

    // The numbers Jet gives for the same failures, where the suite's messages know them;
    // any other SQLite failure is Generic + its primary result code.
    bool numeric = false;
    const int primary = code.toInt(&numeric) & 0xff;
    const QString text = error.databaseText();
    if (!numeric || primary == SQLITE_OK)
        return JetError::Generic;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return JetError::Locked;
    if (primary == SQLITE_CONSTRAINT
        && (text.contains(u"UNIQUE"_s) || text.contains(u"PRIMARY KEY"_s)))
        return JetError::DuplicateKey;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        return JetError::DamagedFile;
    if (text.startsWith(u"no such table"_s))
        return JetError::NoSuchTable;
    if (text.startsWith(u"no such column"_s))
        return JetError::NoSuchColumn;
    return JetError::Generic + primary;
}

QString lockedDatabaseText()
{
    return u"A database is locked by another user. Try again later."_s;
}

int setLockWaitLimit(int ms)
{
    return std::exchange(lockWaitLimitMs, ms);
}

void passOnDbError(const QSqlError &error)
{
    SharedState &s = state();
    s.ErrNumber = jetErrorNumber(error);
    s.ErrDescription = failureDescription(error);
    s.ErrLine = 0;
}

QString sqlQuote(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\'', u"''"_s);
    return quoted;
}

// ---- SuiteDb ----

SuiteDb::SuiteDb(const QString &fileName)
{
    static std::atomic<quint64> serial { 0 };
    name_ = u"suite-"_s + fileName.toUpper() + u'-' + QString::number(++serial);
    db_ = QSqlDatabase::addDatabase(u"QSQLITE"_s, name_);

    const QString path = findInWorkingFolder(fileName);
    if (path.isEmpty()) {
        error_
            = layerError(JetError::FileNotFound, u"Could not find file '"_s + fileName + u"'."_s);
        return;
    }
    // Read-write without create: a file that vanished since the lookup must not come back
    // as an empty database.
    QUrl url = QUrl::fromLocalFile(path);
    url.setQuery(u"mode=rw"_s);
    db_.setConnectOptions(u"QSQLITE_OPEN_URI"_s);
    db_.setDatabaseName(url.toString(QUrl::FullyEncoded));
    if (!db_.open()) {
        error_ = db_.lastError();
        return;
    }

    sqlite3 *handle = nativeHandle(db_);
    const int rc = handle ? registerJetFunctions(handle) : SQLITE_MISUSE;
    if (rc != SQLITE_OK) {
        error_ = QSqlError(u"Tallic"_s, u"Cannot register the Jet functions"_s,
                           QSqlError::ConnectionError, QString::number(rc));
        db_.close();
        return;
    }
    // Another workstation's write lock is waited for rather than reported.
    sqlite3_busy_handler(handle, &SuiteDb::waitForLock, this);
    wasOpen_ = true;
    openConnections().append(this);
}

SuiteDb::~SuiteDb()
{
    openConnections().removeOne(this);
    db_.close();
    // Every handle on the connection must be gone before Qt forgets its name.
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
    endWait();
}

int SuiteDb::waitForLock(void *self, int attempt)
{
    auto *db = static_cast<SuiteDb *>(self);
    if (attempt == 0) {
        db->lockClock_.start();
        if (!std::exchange(db->waiting_, true))
            beginLockWait();
    }
    if (db->lockClock_.elapsed() >= lockWaitLimitMs || programEnding())
        return 0;
    // Not a full DoEvents: a key or click now could change what is being written.
    lockWaitTick();
    QThread::msleep(LockRetryMs);
    return 1;
}

// Called once the connection is done: the statements that waited are over by then.
void SuiteDb::endWait()
{
    if (std::exchange(waiting_, false))
        endLockWait();
}

bool SuiteDb::isOpen() const
{
    return db_.isOpen();
}

QSqlQuery SuiteDb::newQuery() const
{
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    return query;
}

QSqlQuery SuiteDb::query(const QString &sql)
{
    QSqlQuery query = newQuery();
    if (!isOpen()) {
        // A failed open keeps its own error; a database closed since (by close() or
        // DbCloseAll) is Jet's "object invalid or no longer set".
        if (wasOpen_)
            error_ = layerError(JetError::ObjectClosed, u"The database is closed."_s);
        return query;
    }
    if (query.exec(sql))
        error_ = QSqlError();
    else
        error_ = query.lastError();
    return query;
}

bool SuiteDb::exec(const QString &sql)
{
    QSqlQuery query = this->query(sql);
    const bool ok = !failed();
    query.finish();
    return ok;
}

bool SuiteDb::transaction()
{
    // The write lock is taken at once, so the wait for another workstation happens here
    // and not when a read inside the transaction would have to become a write.
    return exec(u"BEGIN IMMEDIATE"_s);
}

bool SuiteDb::commit()
{
    return exec(u"COMMIT"_s);
}

bool SuiteDb::rollback()
{
    return exec(u"ROLLBACK"_s);
}

void SuiteDb::close()
{
    db_.close();
    endWait();
}

void SuiteDb::forget()
{
    openConnections().removeOne(this);
}

// ---- The shared row routines ----

void DbRead(QString &dbName, const QString &statement)
{
    clearError();
    if (dbName.isEmpty() || statement.isEmpty())
        return;
    normalizeName(dbName);
    SharedState &s = state();
    s.MsgText.clear();
    if (reportMissing(dbName))
        return;

    DoEvents();
    SuiteDb db(dbName);
    DoEvents();
    if (db.failed()) {
        db.passOnError();
        return;
    }
    QSqlQuery query = db.query(statement);
    DoEvents();
    if (db.failed()) {
        db.passOnError();
        return;
    }

    const int count = query.record().count();
    s.RowLastIndex = qint16(count - 1);
    s.RowValues = QVariantList(count);
    s.RowNulls = QList<bool>(count, false);
    if (!query.next()) {
        if (query.lastError().isValid()) {
            passOnDbError(query.lastError());
            return;
        }
        s.MsgText = u"QUIT"_s;
    } else {
        // Only the first row counts; callers read Null as 0 and ask RowNulls when it matters.
        for (int i = 0; i < count; ++i) {
            const QVariant value = query.value(i);
            if (isEmptyValue(value)) {
                s.RowValues[i] = 0;
                s.RowNulls[i] = true;
            } else {
                s.RowValues[i] = value;
            }
        }
    }

    DoEvents();
    query.finish();
    db.close();
    DoEvents();
}

DbWriteOutcome DbWrite(QString &dbName, const QString &statement)
{
    clearError();
    if (dbName.isEmpty() || statement.isEmpty())
        return {};
    normalizeName(dbName);
    if (reportMissing(dbName)) {
        return writeFailure(
            layerError(JetError::FileNotFound, u"Could not find file '"_s + dbName + u"'."_s));
    }
    SharedState &s = state();

    DoEvents();
    SuiteDb db(dbName);
    DoEvents();
    if (db.failed()) {
        return passOnWriteFailure(db.error());
    }
    // The row is found again by rowid, so the statement must name one table.
    const std::optional<WriteTarget> target = parseWriteTarget(statement);
    if (!target) {
        return passOnWriteFailure(layerError(
            JetError::CannotWriteThrough, u"Cannot write through the statement: "_s + statement));
    }
    QSqlQuery select = db.query(u"select rowid, * from "_s + target->table + target->rest);
    DoEvents();
    if (db.failed()) {
        return passOnWriteFailure(db.error());
    }
    const QSqlRecord record = select.record();
    const bool adding = s.AddNewMode;
    const bool haveRow = !adding && select.next();
    if (!adding && !haveRow && select.lastError().isValid()) {
        return passOnWriteFailure(select.lastError());
    }
    const QVariant rowid = haveRow ? select.value(0) : QVariant();
    // The read must end before the write, or the write could not take its lock.
    select.finish();
    const int columns = record.count() - 1;
    s.RowLastIndex = qint16(columns - 1);
    DoEvents();

    // From here on a failure ends the routine quietly, with nothing saved.
    if (!adding && !haveRow) {
        return writeFailure(layerError(JetError::NoCurrentRecord, u"No current record."_s));
    }
    QStringList names;
    QVariantList values;
    for (int i = 0; i < columns; ++i) {
        if (i >= s.RowValues.size() || isEmptyValue(s.RowValues.at(i)))
            continue;
        // Blank text in the column that holds a number for the suite would not be one.
        if (i == NumberColumn && s.RowValues.at(i).toString().trimmed().isEmpty())
            s.RowValues[i] = u"0"_s;
        QVariant value = s.RowValues.at(i);
        // Qt binds a null QString as Null; for the program it is the empty text.
        if (value.typeId() == QMetaType::QString && value.toString().isNull())
            value = u""_s;
        names << quotedName(record.fieldName(i + 1));
        values << value;
    }

    QString sql;
    if (adding) {
        if (names.isEmpty()) {
            sql = u"insert into "_s + target->table + u" default values"_s;
        } else {
            QStringList marks;
            marks.fill(u"?"_s, names.size());
            sql = u"insert into "_s + target->table + u" ("_s + names.join(u", "_s)
                + u") values ("_s + marks.join(u", "_s) + u')';
        }
    } else if (!names.isEmpty()) {
        QStringList assignments;
        for (const QString &name : std::as_const(names))
            assignments << name + u" = ?"_s;
        sql = u"update "_s + target->table + u" set "_s + assignments.join(u", "_s)
            + u" where rowid = ?"_s;
        values << rowid;
    }

    DoEvents();
    if (!sql.isEmpty()) {
        QSqlQuery save = db.newQuery();
        if (!save.prepare(sql)) {
            return writeFailure(save.lastError());
        }
        for (const QVariant &value : std::as_const(values))
            save.addBindValue(value);
        if (!save.exec()) {
            return writeFailure(save.lastError());
        }
        save.finish();
    }
    DoEvents();
    db.close();
    DbFreeLocks();
    return { true, 0, QString() };
}

void DbAddNewOn()
{
    state().AddNewMode = true;
    DoEvents();
}

void DbAddNewOff()
{
    state().AddNewMode = false;
    DoEvents();
}

void DbCloseAll()
{
    const QList<SuiteDb *> connections = openConnections();
    for (SuiteDb *db : connections) {
        db->close();
        db->forget();
    }
    DoEvents();
}

void DbFreeLocks()
{
    // Owners close their connections as soon as they are done; the engine then has only
    // to forget them. An open connection is in use and keeps what it holds.
    const QList<SuiteDb *> connections = openConnections();
    for (SuiteDb *db : connections) {
        if (!db->isOpen())
            db->forget();
    }
    DoEvents();
}

} // namespace tallic
