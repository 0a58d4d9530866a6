#include "serverrows.h"

#include "store/database.h"

#include <charconv>
#include <cmath>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

template<typename Out, typename Number> void writeNumber(Out &out, Number number)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.plain(std::string_view(buffer, error == std::errc() ? end - buffer : 0));
}

template<typename Out> void writeReal(Out &out, double number, ColumnKind kind)
{
    if (std::isnan(number))
        return out.plain("NaN");
    if (std::isinf(number))
        return out.plain(number > 0 ? "Infinity" : "-Infinity");
    if (kind == ColumnKind::Integer && number == std::trunc(number) && std::fabs(number) < 9e18)
        return writeNumber(out, qint64(number));
    writeNumber(out, number); // the shortest text that reads back as the same double
}

// Writes a value as the server's input reads it, through the out given: NULL, a number or
// a word ("-1", "NaN"), a text, or a blob's bytes.
template<typename Out> void writeField(Out &out, const QVariant &value, ColumnKind kind)
{
    if (value.isNull() || !value.isValid())
        return out.null();
    switch (value.typeId()) {
    case QMetaType::Bool:
        return out.plain(value.toBool() ? "-1" : "0");
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return writeNumber(out, value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return writeReal(out, value.toDouble(), kind);
    case QMetaType::QByteArray:
        if (kind == ColumnKind::Blob)
            return out.blob(value.toByteArray());
        return out.text(QString::fromUtf8(value.toByteArray()));
    default:
        return out.text(value.toString());
    }
}

// A field of a row in an array: in quotes, escaped for the row and once more for the array
// the row is in (a backslash becomes four, a quote a backslashed backslash and a
// backslashed quote). Nothing at all between the commas is NULL.
struct ArrayField
{
    QString &out;

    void null() { }
    void plain(std::string_view text) { out += QLatin1StringView(text.data(), text.size()); }
    void blob(const QByteArray &bytes)
    {
        text(QString(u"\\x"_s + QString::fromLatin1(bytes.toHex())));
    }
    void text(QStringView text)
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
};

// A field of a copy's line: see appendCopyText() and the others.
struct CopyField
{
    QByteArray &out;

    void null() { out += "\\N"; }
    void plain(std::string_view text) { out.append(text.data(), qsizetype(text.size())); }
    void blob(const QByteArray &bytes) { appendCopyBlob(out, bytes); }
    void text(QStringView text) { appendCopyText(out, text); }
};

// A field of a copy's line with its backslashes undone, appended to out.
void appendUnescaped(QByteArray &out, QByteArrayView field)
{
    qsizetype run = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) != '\\' || i + 1 == field.size())
            continue;
        out.append(field.data() + run, i - run);
        char c = field.at(++i);
        switch (c) {
        case 'b':
            c = '\b';
            break;
        case 'f':
            c = '\f';
            break;
        case 'n':
            c = '\n';
            break;
        case 'r':
            c = '\r';
            break;
        case 't':
            c = '\t';
            break;
        case 'v':
            c = '\v';
            break;
        default: // the character itself: a backslash
            break;
        }
        out += c;
        run = i + 1;
    }
    out.append(field.data() + run, field.size() - run);
}

// A blob in the server's hex form ("\x4142"), or in its older escaped form.
bool appendBlob(QByteArray &out, QByteArrayView text)
{
    if (text.startsWith("\\x")) {
        const QByteArrayView hex = text.sliced(2);
        const QByteArray bytes = QByteArray::fromHex(hex.toByteArray());
        out += bytes;
        return bytes.size() * 2 == hex.size();
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != '\\') {
            out += text.at(i);
        } else if (i + 1 < text.size() && text.at(i + 1) == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < text.size()) {
            out += char(text.sliced(i + 1, 3).toByteArray().toInt(nullptr, 8));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

bool readNumber(QByteArrayView text, ColumnKind kind, PlainRows::Value &value)
{
    const char *begin = text.data(), *end = text.data() + text.size();
    if (kind == ColumnKind::Integer) {
        value.type = PlainRows::Type::Integer;
        const auto read = std::from_chars(begin, end, value.integer);
        return read.ec == std::errc() && read.ptr == end;
    }
    value.type = PlainRows::Type::Real;
    if (text == "NaN") {
        value.real = std::numeric_limits<double>::quiet_NaN();
    } else if (text == "Infinity" || text == "-Infinity") {
        value.real = text.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    } else {
        const auto read = std::from_chars(begin, end, value.real);
        return read.ec == std::errc() && read.ptr == end;
    }
    return true;
}

bool readField(QByteArrayView field, ColumnKind kind, PlainRows &rows)
{
    PlainRows::Value value;
    bool read = true;
    if (field != "\\N") {
        switch (kind) {
        case ColumnKind::Integer:
        case ColumnKind::Real:
        case ColumnKind::Currency:
            read = readNumber(field, kind, value);
            break;
        case ColumnKind::Blob: {
            QByteArray text;
            appendUnescaped(text, field);
            value.type = PlainRows::Type::Blob;
            value.at = rows.bytes.size();
            read = appendBlob(rows.bytes, text);
            value.size = quint32(rows.bytes.size() - value.at);
            break;
        }
        case ColumnKind::Text:
            value.type = PlainRows::Type::Text;
            value.at = rows.bytes.size();
            appendUnescaped(rows.bytes, field);
            value.size = quint32(rows.bytes.size() - value.at);
            break;
        }
    }
    rows.values.append(value);
    return read;
}

} // namespace

QString serverInsert(const QString &table, const QList<ColumnDef> &columns, const Rows &rows)
{
    QString array = u"{"_s;
    array.reserve(rows.size() * columns.size() * 12);
    ArrayField field { array };
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QVariantList &row = rows.at(r);
        array += r ? u",\"("_s : u"\"("_s;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            if (c)
                array += u',';
            writeField(field, row.value(c), columns.at(c).kind);
        }
        array += u")\""_s;
    }
    array += u'}';
    return u"insert into "_s + table + u" select * from unnest("_s + sqlLiteral(array) + u"::"_s
        + table + u"[])"_s;
}

void appendCopyRows(QByteArray &out, const QList<ColumnDef> &columns, const Rows &rows)
{
    CopyField field { out };
    for (const QVariantList &row : rows) {
        for (qsizetype c = 0; c < columns.size(); ++c) {
            if (c)
                out += '\t';
            writeField(field, row.value(c), columns.at(c).kind);
        }
        out += '\n';
    }
}

void appendCopyInteger(QByteArray &out, qint64 number)
{
    CopyField field { out };
    writeNumber(field, number);
}

void appendCopyReal(QByteArray &out, double number, ColumnKind kind)
{
    CopyField field { out };
    writeReal(field, number, kind);
}

void appendCopyText(QByteArray &out, QByteArrayView utf8)
{
    const char *p = utf8.data(), *end = p + utf8.size(), *run = p;
    for (; p < end; ++p) {
        const char c = *p;
        if (c != '\\' && (uchar(c) >= 0x20 || (c != '\t' && c != '\n' && c != '\r' && c != 0)))
            continue;
        out.append(run, p - run);
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default: // NUL, which a server's text cannot hold
            break;
        }
        run = p + 1;
    }
    out.append(run, end - run);
}

void appendCopyText(QByteArray &out, QStringView text)
{
    appendCopyText(out, QByteArrayView(text.toUtf8()));
}

void appendCopyBlob(QByteArray &out, QByteArrayView bytes)
{
    out += "\\\\x";
    out += QByteArray::fromRawData(bytes.data(), bytes.size()).toHex();
}

bool copyRow(QByteArrayView line, const QList<ColumnDef> &columns, PlainRows &rows)
{
    qsizetype from = 0;
    for (qsizetype c = 0; c < columns.size(); ++c) {
        qsizetype tab = line.indexOf('\t', from);
        if ((tab < 0) != (c == columns.size() - 1))
            return false;
        if (tab < 0)
            tab = line.size();
        if (!readField(line.sliced(from, tab - from), columns.at(c).kind, rows))
            return false;
        from = tab + 1;
    }
    return true;
}

Rows qtRows(const PlainRows &rows)
{
    Rows qt;
    if (rows.columns == 0)
        return qt;
    qt.reserve(rows.rows());
    for (qsizetype i = 0; i < rows.values.size(); ++i) {
        if (i % rows.columns == 0)
            qt.append(QVariantList());
        const PlainRows::Value &value = rows.values.at(i);
        QVariantList &row = qt.last();
        switch (value.type) {
        case PlainRows::Type::Null:
            row << QVariant();
            break;
        case PlainRows::Type::Integer:
            row << QVariant(qlonglong(value.integer));
            break;
        case PlainRows::Type::Real:
            row << QVariant(value.real);
            break;
        case PlainRows::Type::Text:
            row << QVariant(QString::fromUtf8(rows.data(value), value.size));
            break;
        case PlainRows::Type::Blob:
            row << QVariant(QByteArray(rows.data(value), value.size));
            break;
        }
    }
    return qt;
}

} // namespace tallic::club
