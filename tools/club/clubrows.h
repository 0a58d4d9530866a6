#pragma once

// The tables and rows a club command moves, as both engines' row code and the club's
// connection speak of them.
#include "basic/result.h"
#include "store/schema.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantList>

#include <functional>

namespace tallic::club {

// A table as it is found in a data folder or an old file: its columns in their order.
struct ColumnDef
{
    QString name;
    ColumnKind kind = ColumnKind::Text;
    QString type {}; // as a server names it ("citext"); empty elsewhere
};

struct TableDef
{
    QString name;
    QList<ColumnDef> columns;
    QString key; // the primary key's column, when the table has one of a single column
};

using Rows = QList<QVariantList>;
// Takes a batch of rows; a failure stops the reading.
using RowSink = std::function<Result<void>(const Rows &rows)>;

// Rows without Qt's values, for the bulk way from a server's copy into SQLite: each value's
// type and number, or where its bytes (a text's UTF-8, a blob's) are in one buffer.
struct PlainRows
{
    enum class Type : quint8 { Null, Integer, Real, Text, Blob };
    struct Value
    {
        Type type = Type::Null;
        quint32 size = 0; // of the bytes
        union {
            qint64 integer = 0;
            double real;
            qint64 at; // where the bytes start
        };
    };
    qsizetype columns = 0;
    QList<Value> values; // a row's after another's
    QByteArray bytes;

    qsizetype rows() const { return columns ? values.size() / columns : 0; }
    const char *data(const Value &value) const { return bytes.constData() + value.at; }
};
using PlainSink = std::function<Result<void>(const PlainRows &rows)>;
// Takes the rows as a server's copy reads them (whole lines), and how many they are.
using TextSink = std::function<Result<void>(const QByteArray &text, qsizetype rows)>;

} // namespace tallic::club
