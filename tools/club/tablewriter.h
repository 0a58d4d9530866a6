#pragma once

#include "clubdb.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <future>
#include <memory>

namespace tallic::club {

class PgCopy;

// Stores a new table's rows, batch after batch, into the target's database. On a server
// they go by its copy of rows (by statements where the copy is not available), each batch
// sent in another thread while the next is read.
class TableWriter
{
public:
    TableWriter(ClubDb &db, const QString &file, const TableDef &table);
    // Unfinished, what was written is abandoned with the target's transaction.
    ~TableWriter();
    TableWriter(const TableWriter &) = delete;
    TableWriter &operator=(const TableWriter &) = delete;

    // What the target takes besides Qt's values: the text of a server's copy (a server
    // with the copy available), or plain values (a database file).
    bool takesCopyText() const;
    bool takesPlainRows() const { return !db_.onServer(); }

    Result<void> write(const Rows &rows);
    Result<void> write(const QByteArray &copyText);
    Result<void> write(const PlainRows &rows);
    // The last batch stored; the server's reason when it refused any.
    Result<void> finish();
    // Once finished, on a server that takes the copy's text: the statements run in another
    // thread (the indexes built while the source is read once more).
    std::future<Result<void>> execAside(const QStringList &statements);

private:
    // Opens the copy at the first batch: a table with no rows takes no statement.
    Result<void> startCopy();
    // The batch sent before (or the statement made before, executed), once it is done.
    Result<void> sent();
    // Once the batch before is stored, sends the text that text() makes in another thread.
    Result<void> sendAside(std::function<QByteArray()> text);

    ClubDb &db_;
    QString file_;
    TableDef table_;
    QString name_; // as a statement names the table
    std::unique_ptr<PgCopy> copy_;
    bool copying_ = false;
    std::future<Result<void>> sending_;
    std::future<QString> statement_;
};

} // namespace tallic::club
