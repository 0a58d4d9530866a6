#include "filerows.h"

#include "suite/sqlitefiles.h"

#include <sqlite3.h>

#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

// Rows to one statement: enough that a statement's own cost is spread thin, few enough
// that its values stay far below SQLite's limit.
constexpr qsizetype RowsPerStatement = 100;

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

} // namespace

Result<void> insertFileRows(const QSqlDatabase &db, const QString &table, qsizetype columns,
                            const Rows &rows)
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
    std::vector<QByteArray> texts;
    texts.reserve(size_t(most * columns));
    for (qsizetype first = 0; first < rows.size(); first += most) {
        const qsizetype count = qMin(most, rows.size() - first);
        Statement &statement = count == most ? full : rest;
        if (statement.rows() != count && !statement.prepare(handle, table, columns, count))
            return Failure(0, QString::fromUtf8(sqlite3_errmsg(handle)));
        texts.clear();
        int result = SQLITE_OK;
        for (qsizetype r = 0; r < count && result == SQLITE_OK; ++r) {
            const QVariantList &row = rows.at(first + r);
            for (qsizetype c = 0; c < columns && result == SQLITE_OK; ++c) {
                static const QVariant none;
                result = bindLikeQt(statement.get(), int(r * columns + c + 1),
                                    c < row.size() ? row.at(c) : none, &texts);
            }
        }
        if (result == SQLITE_OK)
            result = sqlite3_step(statement.get());
        sqlite3_reset(statement.get());
        if (result != SQLITE_DONE)
            return Failure(0, QString::fromUtf8(sqlite3_errmsg(handle)));
    }
    return {};
}

} // namespace tallic::club
