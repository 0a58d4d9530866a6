#include "filerows.h"

#include <QSqlDriver>

#include <sqlite3.h>

#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

// Rows to one statement: enough that a statement's own cost is spread thin, few enough
// that its values stay far below SQLite's limit.
constexpr qsizetype RowsPerStatement = 100;

sqlite3 *handleOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

// As Qt's driver binds the value, except that a text goes as UTF-8, the files' own
// encoding, held in texts until the statement has run.
int bind(sqlite3_stmt *statement, int position, const QVariant &value,
         std::vector<QByteArray> &texts)
{
    if (!value.isValid() || value.isNull())
        return sqlite3_bind_null(statement, position);
    switch (value.typeId()) {
    case QMetaType::QByteArray: {
        const auto *bytes = static_cast<const QByteArray *>(value.constData());
        return sqlite3_bind_blob(statement, position, bytes->constData(), int(bytes->size()),
                                 SQLITE_STATIC);
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
        texts.push_back(value.toString().toUtf8());
        return sqlite3_bind_text(statement, position, texts.back().constData(),
                                 int(texts.back().size()), SQLITE_STATIC);
    }
}

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
    sqlite3 *handle = handleOf(db);
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
                result = bind(statement.get(), int(r * columns + c + 1),
                              c < row.size() ? row.at(c) : none, texts);
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
