#include "tablewriter.h"

#include "pgcopy.h"
#include "serverrows.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

TableWriter::TableWriter(ClubDb &db, const QString &file, const TableDef &table)
    : db_(db)
    , file_(file)
    , table_(table)
    , name_(db.table(file, table.name))
{
    if (db.onServer())
        copy_ = std::make_unique<PgCopy>(db.db());
}

TableWriter::~TableWriter()
{
    // What another thread still does with the connection or the rows ends first.
    if (sending_.valid())
        sending_.wait();
    if (statement_.valid())
        statement_.wait();
}

bool TableWriter::takesCopyText() const
{
    return copy_ && copy_->available();
}

Result<void> TableWriter::startCopy()
{
    if (copying_)
        return {};
    const Result<void> started
        = copy_->startIn(u"copy "_s + name_ + u" ("_s + db_.columnList(table_) + u") from stdin"_s);
    copying_ = started.ok();
    return started;
}

Result<void> TableWriter::sent()
{
    if (sending_.valid())
        return sending_.get();
    if (statement_.valid())
        return db_.exec(statement_.get());
    return {};
}

Result<void> TableWriter::sendAside(std::function<QByteArray()> text)
{
    Result<void> ready = sent();
    if (ready)
        ready = startCopy();
    if (ready)
        sending_ = std::async(std::launch::async,
                              [this, text = std::move(text)] { return copy_->put(text()); });
    return ready;
}

Result<void> TableWriter::write(const QByteArray &copyText)
{
    return sendAside([copyText] { return copyText; });
}

Result<void> TableWriter::write(const Rows &rows)
{
    if (!db_.onServer())
        return db_.insertRows(file_, table_, rows);
    if (takesCopyText()) {
        return sendAside([this, rows] {
            QByteArray text;
            text.reserve(rows.size() * table_.columns.size() * 8);
            appendCopyRows(text, table_.columns, rows);
            return text;
        });
    }
    // The statement of this batch is made while the server stores the one before.
    std::future<QString> made
        = std::async(std::launch::async, [rows, name = name_, columns = table_.columns] {
              return serverInsert(name, columns, rows);
          });
    const Result<void> stored = sent();
    statement_ = std::move(made);
    return stored;
}

Result<void> TableWriter::write(const PlainRows &rows)
{
    return db_.insertRows(file_, table_, rows);
}

Result<void> TableWriter::finish()
{
    const Result<void> stored = sent();
    if (!copying_ || !stored)
        return stored;
    copying_ = false;
    return copy_->endIn();
}

std::future<Result<void>> TableWriter::execAside(const QStringList &statements)
{
    return std::async(std::launch::async, [this, statements]() -> Result<void> {
        for (const QString &statement : statements) {
            if (Result<void> done = copy_->exec(statement); !done)
                return done;
        }
        return {};
    });
}

} // namespace tallic::club
