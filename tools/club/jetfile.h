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

    // The reason when the file is not a whole Jet database.
    Result<void> open(const QString &path);
    Result<QList<TableDef>> tables();
    // The rows the file says the table holds.
    qint64 storedRows(const QString &table) const;
    // Every row in batches; the figures of what was read. A table that yields fewer rows
    // than it holds is cut short, and that is a failure.
    Result<Figures> readRows(const TableDef &table, const RowSink &sink);

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
