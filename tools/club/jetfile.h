#pragma once

#include "clubdb.h"

#include <QString>

#include <memory>

namespace tallic::club {

// A database of the suite's old Access/Jet files, read through mdbtools' library and
// never written: every table the file holds, every column in its order, every row.
class JetFile
{
public:
    JetFile();
    ~JetFile();
    JetFile(const JetFile &) = delete;
    JetFile &operator=(const JetFile &) = delete;

    // False with the reason when the file is not a whole Jet database.
    bool open(const QString &path, QString &problem);
    QList<TableDef> tables(QString &problem);
    // The rows the file says the table holds.
    qint64 storedRows(const QString &table) const;
    // Every row in batches, with the figures of what was read; a table that yields fewer
    // rows than it holds is cut short, and that is a failure.
    bool readRows(const TableDef &table, const RowSink &sink, Figures &figures, QString &problem);

    // A Jet date (days from 30 December 1899, the time of day as the fraction) as ISO
    // text, for every year from 100 to 9999.
    static QString dateText(double days);
    // A Single as the decimal it shows: the shortest text that reads back as that Single.
    static double singleValue(float value);

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

} // namespace tallic::club
