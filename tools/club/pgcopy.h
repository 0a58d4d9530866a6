#pragma once

#include "basic/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSqlDatabase>
#include <QString>

#include <functional>

namespace tallic {
struct PqCalls;
}

namespace tallic::club {

// PostgreSQL's copy of rows in and out, on a connection of Qt's driver: through the libpq
// the driver has loaded (suite/libpq.h), so that the program links no libpq of its own.
// Where its functions are not found (another driver, another libpq), available() is false
// and the rows go by statements as before.
class PgCopy
{
public:
    explicit PgCopy(const QSqlDatabase &db);
    // A copy in still open is abandoned: the server stores none of it.
    ~PgCopy();
    PgCopy(const PgCopy &) = delete;
    PgCopy &operator=(const PgCopy &) = delete;

    bool available() const { return calls_ && connection_; }

    // "copy ... from stdin": then the rows' text, put in pieces, and the end, whose answer
    // says whether the server took them all; the server's reason when it did not.
    Result<void> startIn(const QString &statement);
    Result<void> put(QByteArrayView data);
    Result<void> endIn();
    // Ends a copy in, the server storing nothing of it.
    void abandonIn();

    // A statement that returns no rows, in whichever thread has the connection to itself.
    Result<void> exec(const QString &statement);

    // "copy ... to stdout": each row's text, its line's end cut off, to take. A failure of
    // take ends the copy (the rest is read and dropped, so the connection stays usable).
    Result<void> out(const QString &statement,
                     const std::function<Result<void>(QByteArrayView row)> &take);

private:
    // Runs the statement: the server's reason unless its answer has the status given.
    Result<void> run(const QString &statement, int status);
    // The server's answer to the statement that has ended: its reason when it failed.
    Result<void> finish();
    // A copy in the connection would not take: the server's answer, or else the
    // connection's reason.
    Result<void> refused();

    const tallic::PqCalls *calls_ = nullptr;
    void *connection_ = nullptr; // libpq's PGconn
    bool copyingIn_ = false;
};

} // namespace tallic::club
