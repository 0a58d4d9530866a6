#include "filerows.h"

#include "serverrows.h"
#include "store/sqlitefiles.h"

#include <sqlite3.h>

#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

// Rows to one statement: enough that a statement's own cost is spread thin, few enough
// that its values stay far below SQLite's limit.
constexpr qsizetype RowsPerStatement = 100;
// A batch of a copy's text: large enough that its handing over costs little, small enough
// that the server starts on it while the next is read.
constexpr qsizetype CopyTextBytes = 256 * 1024;

class Statement
{
public:
    ~Statement() { sqlite3_finalize(statement_); }
    bool prepare(sqlite3 *handle, const QString &table, qsizetype columns, qsizetype rows)
    {
        QStringList marks;
        marks.fill(u"?"_s, columns);
        QStringList tuples;
        tuples.fill(u'(' + marks.join(u',') + u')', rows);
        const QByteArray sql
            = (u"insert into "_s + table + u" values "_s + tuples.join(u',')).toUtf8();
        rows_ = rows;
        return sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &statement_, nullptr)
            == SQLITE_OK;
    }
    qsizetype rows() const { return rows_; }
    sqlite3_stmt *get() const { return statement_; }

private:
    sqlite3_stmt *statement_ = nullptr;
    qsizetype rows_ = 0;
};

// Inserts count rows, many to a statement; bind(statement, position, row, column) binds
// one value.
template<typename Bind>
Result<void> insertMany(const QSqlDatabase &db, const QString &table, qsizetype columns,
                        qsizetype count, const Bind &bind)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle)
        return Failure(0, u"the database is not open"_s);
    // A table of many columns takes fewer rows to a statement.
    const qsizetype most = qBound(qsizetype(1),
                                  sqlite3_limit(handle, SQLITE_LIMIT_VARIABLE_NUMBER, -1)
                                      / qMax(columns, qsizetype(1)),
                                  RowsPerStatement);
    Statement full, rest;
    for (qsizetype first = 0; first < count; first += most) {
        const qsizetype rows = qMin(most, count - first);
        Statement &statement = rows == most ? full : rest;
        if (statement.rows() != rows && !statement.prepare(handle, table, columns, rows))
            return Failure(0, QString::fromUtf8(sqlite3_errmsg(handle)));
        int result = SQLITE_OK;
        for (qsizetype r = 0; r < rows && result == SQLITE_OK; ++r) {
            for (qsizetype c = 0; c < columns && result == SQLITE_OK; ++c)
                result = bind(statement.get(), int(r * columns + c + 1), first + r, c);
        }
        if (result == SQLITE_OK)
            result = sqlite3_step(statement.get());
        sqlite3_reset(statement.get());
        if (result != SQLITE_DONE)
            return Failure(0, QString::fromUtf8(sqlite3_errmsg(handle)));
    }
    return {};
}

int bindPlain(sqlite3_stmt *statement, int position, const PlainRows &rows,
              const PlainRows::Value &value)
{
    switch (value.type) {
    case PlainRows::Type::Null:
        break;
    case PlainRows::Type::Integer:
        return sqlite3_bind_int64(statement, position, value.integer);
    case PlainRows::Type::Real:
        return sqlite3_bind_double(statement, position, value.real);
    case PlainRows::Type::Text:
        return sqlite3_bind_text(statement, position, rows.data(value), int(value.size),
                                 SQLITE_STATIC);
    case PlainRows::Type::Blob:
        return sqlite3_bind_blob(statement, position, rows.data(value), int(value.size),
                                 SQLITE_STATIC);
    }
    return sqlite3_bind_null(statement, position);
}

// One value of the row the statement stands on, as appendCopyRows() writes the value Qt's
// driver reads for it.
void appendCopyValue(QByteArray &out, sqlite3_stmt *statement, int column, ColumnKind kind)
{
    const auto text16 = [&] {
        const auto *text = static_cast<const char16_t *>(sqlite3_column_text16(statement, column));
        return QStringView(text, sqlite3_column_bytes16(statement, column) / 2);
    };
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        out += "\\N";
        return;
    case SQLITE_INTEGER:
        return appendCopyInteger(out, sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return appendCopyReal(out, sqlite3_column_double(statement, column), kind);
    case SQLITE_BLOB: {
        const QByteArrayView bytes(
            static_cast<const char *>(sqlite3_column_blob(statement, column)),
            sqlite3_column_bytes(statement, column));
        if (kind == ColumnKind::Blob)
            return appendCopyBlob(out, bytes);
        if (bytes.isValidUtf8())
            return appendCopyText(out, bytes);
        return appendCopyText(out, QStringView(QString::fromUtf8(bytes)));
    }
    default: {
        const QByteArrayView text(
            reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
            sqlite3_column_bytes(statement, column));
        // Text that is not UTF-8 is read as the driver reads it, through SQLite's UTF-16.
        if (text.isValidUtf8())
            return appendCopyText(out, text);
        return appendCopyText(out, text16());
    }
    }
}

} // namespace

Result<void> insertFileRows(const QSqlDatabase &db, const QString &table, qsizetype columns,
                            const Rows &rows)
{
    std::vector<QByteArray> texts;
    texts.reserve(size_t(RowsPerStatement * columns));
    return insertMany(db, table, columns, rows.size(),
                      [&](sqlite3_stmt *statement, int position, qsizetype r, qsizetype c) {
                          // The texts bound are kept until their statement has run.
                          if (position == 1)
                              texts.clear();
                          static const QVariant none;
                          const QVariantList &row = rows.at(r);
                          return bindLikeQt(statement, position, c < row.size() ? row.at(c) : none,
                                            &texts);
                      });
}

Result<void> insertFileRows(const QSqlDatabase &db, const QString &table, const PlainRows &rows)
{
    return insertMany(db, table, rows.columns, rows.rows(),
                      [&](sqlite3_stmt *statement, int position, qsizetype r, qsizetype c) {
                          return bindPlain(statement, position, rows,
                                           rows.values.at(r * rows.columns + c));
                      });
}

Result<void> readFileRowsAsCopyText(const QSqlDatabase &db, const QString &table,
                                    const QList<ColumnDef> &columns, const TextSink &sink)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle)
        return Failure(0, u"the database is not open"_s);
    const QByteArray sql = (u"select * from "_s + table).toUtf8();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &statement, nullptr)
        != SQLITE_OK)
        return Failure(0, QString::fromUtf8(sqlite3_errmsg(handle)));
    const int stored = sqlite3_column_count(statement);
    QByteArray text;
    text.reserve(CopyTextBytes + 64 * 1024);
    qsizetype rows = 0;
    Result<void> taken;
    int stepped = SQLITE_ROW;
    while (taken && (stepped = sqlite3_step(statement)) == SQLITE_ROW) {
        for (int c = 0; c < columns.size(); ++c) {
            if (c)
                text += '\t';
            if (c < stored)
                appendCopyValue(text, statement, c, columns.at(c).kind);
            else
                text += "\\N";
        }
        text += '\n';
        ++rows;
        if (text.size() >= CopyTextBytes) {
            taken = sink(text, rows);
            text.resize(0);
            rows = 0;
        }
    }
    const QString problem
        = stepped == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(handle));
    sqlite3_finalize(statement);
    if (!taken)
        return taken;
    if (!problem.isEmpty())
        return Failure(0, problem);
    return rows ? sink(text, rows) : Result<void>();
}

} // namespace tallic::club
