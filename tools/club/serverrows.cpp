#include "serverrows.h"

#include "suite/database.h"

#include <charconv>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

template<typename Number> void appendNumber(QString &out, Number number)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, number);
    out += QLatin1String(buffer, error == std::errc() ? end - buffer : 0);
}

// A field in quotes, escaped for the row and once more for the array the row is in: a
// backslash becomes four, a quote a backslashed backslash and a backslashed quote.
void appendQuoted(QString &out, QStringView text)
{
    out += u"\\\""_s;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\\' && c != u'"')
            continue;
        out += text.mid(from, i - from);
        out += c == u'\\' ? u"\\\\\\\\"_s : u"\\\\\\\""_s;
        from = i + 1;
    }
    out += text.mid(from);
    out += u"\\\""_s;
}

// Nothing at all between the commas is NULL; an empty text is a pair of quotes.
void appendField(QString &out, const QVariant &value, ColumnKind kind)
{
    if (value.isNull() || !value.isValid())
        return;
    switch (value.typeId()) {
    case QMetaType::Bool:
        out += value.toBool() ? u"-1"_s : u"0"_s;
        return;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        appendNumber(out, value.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (std::isnan(number))
            out += u"NaN"_s;
        else if (std::isinf(number))
            out += number > 0 ? u"Infinity"_s : u"-Infinity"_s;
        else if (kind == ColumnKind::Integer && number == std::trunc(number)
                 && std::fabs(number) < 9e18)
            appendNumber(out, qint64(number));
        else
            appendNumber(out, number); // the shortest text that reads back as the same double
        return;
    }
    case QMetaType::QByteArray:
        if (kind == ColumnKind::Blob)
            appendQuoted(out, QString(u"\\x"_s + QString::fromLatin1(value.toByteArray().toHex())));
        else
            appendQuoted(out, QString::fromUtf8(value.toByteArray()));
        return;
    default:
        appendQuoted(out, value.toString());
    }
}

} // namespace

QString serverInsert(const QString &table, const QList<ColumnDef> &columns, const Rows &rows)
{
    QString array = u"{"_s;
    array.reserve(rows.size() * columns.size() * 12);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QVariantList &row = rows.at(r);
        array += r ? u",\"("_s : u"\"("_s;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            if (c)
                array += u',';
            appendField(array, row.value(c), columns.at(c).kind);
        }
        array += u")\""_s;
    }
    array += u'}';
    return u"insert into "_s + table + u" select * from unnest("_s + sqlLiteral(array) + u"::"_s
        + table + u"[])"_s;
}

} // namespace tallic::club
