#include "csvfile.h"

#include <QStringDecoder>

#include <csv.h>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

struct Reading
{
    CsvFile file;
    QStringList fields;
    int line = 1; // the line being fed
    int recordLine = 1; // where the record being read began
    bool bad = false; // the record holds text that is not UTF-8
};

void onField(void *data, size_t size, void *context)
{
    auto *reading = static_cast<Reading *>(context);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(QByteArrayView(static_cast<const char *>(data), qsizetype(size)));
    if (utf8.hasError())
        reading->bad = true;
    reading->fields << text;
}

void onRecord(int, void *context)
{
    auto *reading = static_cast<Reading *>(context);
    if (reading->bad) {
        reading->file.problems << u"line %1: not UTF-8 text"_s.arg(reading->recordLine);
    } else if (reading->file.header.isEmpty()) {
        reading->file.header = reading->fields;
    } else if (!(reading->fields.size() == 1 && reading->fields.first().trimmed().isEmpty())) {
        reading->file.records.append({ reading->recordLine, reading->fields });
    }
    reading->fields.clear();
    reading->bad = false;
    // The next record begins on the line after this one ends.
    reading->recordLine = reading->line + 1;
}

char delimiterOf(const QByteArray &firstLine)
{
    return firstLine.count(';') > firstLine.count(',') ? ';' : ',';
}

} // namespace

CsvFile readCsv(const QByteArray &input)
{
    QByteArray contents = input;
    if (contents.startsWith("\xEF\xBB\xBF"))
        contents.remove(0, 3);
    Reading reading;
    csv_parser parser;
    csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_APPEND_NULL);
    csv_set_delim(&parser,
                  static_cast<unsigned char>(delimiterOf(contents.left(contents.indexOf('\n')))));
    // Fed a line at a time, so that each record knows where it began.
    qsizetype at = 0;
    while (at < contents.size()) {
        qsizetype end = contents.indexOf('\n', at);
        end = end < 0 ? contents.size() : end + 1;
        const size_t size = size_t(end - at);
        if (csv_parse(&parser, contents.constData() + at, size, onField, onRecord, &reading)
            != size) {
            reading.file.problems << u"line %1: %2 (a quote not closed, or text after a closing "
                                     u"quote)"_s.arg(reading.line)
                                         .arg(
                                             QString::fromLatin1(csv_strerror(csv_error(&parser))));
            csv_free(&parser);
            return reading.file;
        }
        ++reading.line;
        at = end;
    }
    --reading.line;
    if (csv_fini(&parser, onField, onRecord, &reading) != 0)
        reading.file.problems << u"line %1: a quoted field is not closed before the end of the "
                                 u"file"_s.arg(reading.recordLine);
    csv_free(&parser);
    return reading.file;
}

} // namespace tallic::club
