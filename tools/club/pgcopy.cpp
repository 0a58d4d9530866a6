#include "pgcopy.h"

#include "store/libpq.h"

#include <QSqlDriver>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

using tallic::PGconn;
using tallic::PGresult;
using tallic::Pq::CommandOk;
using tallic::Pq::CopyIn;
using tallic::Pq::CopyOut;

// The pieces a copy's text is sent in (a message each): large enough that each costs
// little, small enough that libpq's buffer for one stays small.
constexpr qsizetype PieceBytes = 128 * 1024;

QString serverText(const char *message)
{
    return QString::fromUtf8(message).trimmed();
}

} // namespace

PgCopy::PgCopy(const QSqlDatabase &db)
{
    // The statements instead, everywhere: for a server a copy cannot reach through
    // whatever stands in front of it, and for the tests of that way.
    if (qEnvironmentVariableIsSet("TALLIC_CLUB_NO_COPY") || !db.isOpen() || !db.driver())
        return;
    const QVariant handle = db.driver()->handle();
    // Qt names the type by libpq's typedef or by the struct behind it, as it was built.
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), "PGconn*") != 0
            && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return;
    connection_ = *static_cast<void *const *>(handle.constData());
    calls_ = tallic::libpq();
}

PgCopy::~PgCopy()
{
    abandonIn();
}

Result<void> PgCopy::run(const QString &statement, int status)
{
    if (!available())
        return Failure(0, u"the server's copy is not available"_s);
    auto *connection = static_cast<PGconn *>(connection_);
    PGresult *result = calls_->exec(connection, statement.toUtf8().constData());
    const bool done = result && calls_->resultStatus(result) == status;
    const QString reason = done ? QString()
                                : serverText(result ? calls_->resultErrorMessage(result)
                                                    : calls_->errorMessage(connection));
    calls_->clear(result);
    if (done)
        return {};
    (void)finish();
    return Failure(0, reason);
}

Result<void> PgCopy::startIn(const QString &statement)
{
    const Result<void> started = run(statement, CopyIn);
    copyingIn_ = started.ok();
    return started;
}

Result<void> PgCopy::put(QByteArrayView data)
{
    auto *connection = static_cast<PGconn *>(connection_);
    for (qsizetype from = 0; from < data.size(); from += PieceBytes) {
        const int size = int(qMin(PieceBytes, data.size() - from));
        if (calls_->putCopyData(connection, data.data() + from, size) != 1) {
            // The server has refused the rows already: its reason is in its answer.
            copyingIn_ = false;
            return refused();
        }
    }
    return {};
}

Result<void> PgCopy::endIn()
{
    copyingIn_ = false;
    auto *connection = static_cast<PGconn *>(connection_);
    if (calls_->putCopyEnd(connection, nullptr) != 1)
        return refused();
    return finish();
}

Result<void> PgCopy::refused()
{
    const QString lost = serverText(calls_->errorMessage(static_cast<PGconn *>(connection_)));
    const Result<void> answer = finish();
    return answer ? Failure(0, lost) : answer;
}

void PgCopy::abandonIn()
{
    if (!copyingIn_)
        return;
    copyingIn_ = false;
    if (calls_->putCopyEnd(static_cast<PGconn *>(connection_), "abandoned by tallic-club") == 1)
        (void)finish();
}

Result<void> PgCopy::exec(const QString &statement)
{
    return run(statement, CommandOk);
}

Result<void> PgCopy::out(const QString &statement,
                         const std::function<Result<void>(QByteArrayView row)> &take)
{
    if (Result<void> started = run(statement, CopyOut); !started)
        return started;
    auto *connection = static_cast<PGconn *>(connection_);
    Result<void> taken;
    for (;;) {
        char *row = nullptr;
        const int size = calls_->getCopyData(connection, &row, 0);
        if (size < 0)
            break;
        if (taken)
            taken = take(QByteArrayView(row, size > 0 && row[size - 1] == '\n' ? size - 1 : size));
        calls_->freemem(row);
    }
    const Result<void> answer = finish();
    return taken ? answer : taken;
}

Result<void> PgCopy::finish()
{
    auto *connection = static_cast<PGconn *>(connection_);
    Result<void> answer;
    while (PGresult *result = calls_->getResult(connection)) {
        const int status = calls_->resultStatus(result);
        if (status != CommandOk && answer)
            answer = Failure(0, serverText(calls_->resultErrorMessage(result)));
        calls_->clear(result);
        // A copy still going would never end: the server is told there is no more, or what
        // it sends is read and dropped.
        if (status == CopyIn) {
            calls_->putCopyEnd(connection, "abandoned by tallic-club");
        } else if (status == CopyOut) {
            char *row = nullptr;
            while (calls_->getCopyData(connection, &row, 0) >= 0)
                calls_->freemem(row);
        }
    }
    return answer;
}

} // namespace tallic::club
