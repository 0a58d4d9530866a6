#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tallic::club {

// A CSV file as libcsv reads it: UTF-8, comma or semicolon (whichever the first line uses
// more), quoted fields, CRLF or LF line ends.
struct CsvRecord
{
    int line = 0; // where the record begins, from 1
    QStringList fields;
};

struct CsvFile
{
    QStringList header;
    QList<CsvRecord> records;
    // Lines that cannot be read, each "line N: reason".
    QStringList problems;
};

CsvFile readCsv(const QByteArray &contents);

} // namespace tallic::club
