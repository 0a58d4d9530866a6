#include "pgsession.h"

#include "database.h"

#include <QSqlField>
#include <QSqlRecord>

#include <cmath>
#include <optional>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// The types of the server's columns that come as something other than text.
enum Oid : unsigned {
    Bool = 16,
    Bytea = 17,
    Int8 = 20,
    Int2 = 21,
    Int4 = 23,
    Float4 = 700,
    Float8 = 701,
    Numeric = 1700,
};

QMetaType metaTypeOf(unsigned oid)
{
    switch (oid) {
    case Bool:
        return QMetaType::fromType<bool>();
    case Bytea:
        return QMetaType::fromType<QByteArray>();
    case Int8:
        return QMetaType::fromType<qlonglong>();
    case Int2:
    case Int4:
        return QMetaType::fromType<int>();
    case Float4:
    case Float8:
    case Numeric:
        return QMetaType::fromType<double>();
    default:
        return QMetaType::fromType<QString>();
    }
}

// A column's value as the server wrote it in text, in the column's own type.
QVariant valueOf(const QByteArray &text, unsigned oid)
{
    switch (oid) {
    case Bool:
        return text == "t";
    case Bytea:
        return QByteArray::fromHex(text.startsWith("\\x") ? text.mid(2) : text);
    case Int8:
        return text.toLongLong();
    case Int2:
    case Int4:
        return text.toInt();
    case Float4:
    case Float8:
    case Numeric:
        return text.toDouble();
    default:
        return QString::fromUtf8(text);
    }
}

// A value bound to a statement, as the server reads it in text; null for Null.
std::optional<QByteArray> parameterText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QByteArray(value.toBool() ? "true" : "false");
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (std::isnan(number))
            return QByteArray("NaN");
        if (std::isinf(number))
            return QByteArray(number > 0 ? "Infinity" : "-Infinity");
        // Exactly the double: the server's double precision reads it back the same.
        return QByteArray::number(number, 'g', 17);
    }
    case QMetaType::QByteArray:
        return "\\x" + value.toByteArray().toHex();
    default:
        return value.toString().toUtf8();
    }
}

} // namespace

PgSession::~PgSession()
{
    if (connection_)
        pq_->finish(connection_);
}

QSqlError PgSession::lost() const
{
    return QSqlError(u"The connection to the database server was lost."_s,
                     connection_ ? QString::fromUtf8(pq_->errorMessage(connection_)) : QString(),
                     QSqlError::ConnectionError);
}

QSqlError PgSession::open(const DataSource &source, const QString &fileName, int lockTimeout,
                          ServerSession &session)
{
    // A settings file that cannot be used names no server to try.
    if (!source.problem.isEmpty())
        return missingDatabase(fileName, source.problem);
    pq_ = libpq();
    if (!pq_)
        return serverOutOfReach(fileName,
                                u"the PostgreSQL client library (libpq.so.5) is not "
                                u"installed."_s);
    connection_ = pq_->connectdb(connectionString(source).toUtf8().constData());
    if (!connection_ || pq_->status(connection_) != Pq::ConnectionOk) {
        const QString why = connection_
            ? connectFailureText(QString::fromUtf8(pq_->errorMessage(connection_)))
            : u"out of memory"_s;
        if (connection_)
            pq_->finish(connection_);
        connection_ = nullptr;
        return serverOutOfReach(fileName, why);
    }
    // One round trip sets the session up, with the program's lock wait, and tells who it is.
    appliedLockTimeout_ = lockTimeout;
    const ServerReply setup = run(
        { { sessionSetup(fileName, Access::ReadWrite)
                + u", pg_backend_pid(), (select (extract(epoch from backend_start) * 1000000)"
                  u"::bigint from pg_stat_activity where pid = pg_backend_pid()), "
                  u"set_config('lock_timeout', ?, false), "
                  u"set_config('statement_timeout', ?, false)"_s,
            { QString::number(lockTimeout), QString::number(statementTimeout(lockTimeout)) } } },
        0, {}, lockTimeout);
    if (!setup.ok())
        return serverFailure(setup.error);
    const QVariantList row = setup.rows.value(0);
    const QSqlError problem
        = sessionProblem(fileName, row.value(2).toBool(), row.value(3).toBool());
    if (problem.isValid())
        return problem;
    session = { row.value(4).toLongLong(), row.value(5).toLongLong() };
    return QSqlError();
}

ServerReply PgSession::run(const QList<ServerStep> &steps, int resultStep, const QString &undo,
                           int lockTimeout)
{
    ServerReply reply;
    QList<ServerStep> all;
    // The lock wait is the program's; the server lets a statement run a little longer, so
    // that a lock is told as a lock.
    const int first = lockTimeout != appliedLockTimeout_ ? 1 : 0;
    if (first) {
        all << ServerStep { u"select set_config('lock_timeout', ?, false), "
                            u"set_config('statement_timeout', ?, false)"_s,
                            { QString::number(lockTimeout),
                              QString::number(statementTimeout(lockTimeout)) } };
    }
    all += steps;
    if (!connection_ || !pq_->enterPipelineMode(connection_)) {
        reply.error = lost();
        return reply;
    }
    for (const ServerStep &step : std::as_const(all)) {
        std::vector<std::optional<QByteArray>> texts;
        std::vector<const char *> values;
        for (const QVariant &value : step.values)
            texts.push_back(parameterText(value));
        for (const std::optional<QByteArray> &text : texts)
            values.push_back(text ? text->constData() : nullptr);
        if (!pq_->sendQueryParams(connection_, numberedParameters(step.sql).toUtf8().constData(),
                                  int(values.size()), nullptr, values.data(), nullptr, nullptr,
                                  0)) {
            reply.error = lost();
            return reply;
        }
    }
    if (!pq_->pipelineSync(connection_) || !collect(int(all.size()), first, resultStep, reply)) {
        reply.error = lost();
        return reply;
    }
    pq_->exitPipelineMode(connection_);
    if (first && reply.done > 0)
        appliedLockTimeout_ = lockTimeout;
    reply.done = qMax(0, reply.done - first);
    if (reply.error.isValid() && reply.done > 0 && !undo.isEmpty())
        run({ { undo, {} } }, -1, {}, lockTimeout);
    return reply;
}

bool PgSession::collect(int count, int first, int resultStep, ServerReply &reply)
{
    for (int index = 0; index < count; ++index) {
        PGresult *result = pq_->getResult(connection_);
        if (!result)
            return false;
        const int status = pq_->resultStatus(result);
        if (status == Pq::TuplesOk || status == Pq::CommandOk) {
            if (!reply.error.isValid())
                ++reply.done;
            if (index - first == resultStep) {
                const int columns = pq_->nfields(result);
                for (int c = 0; c < columns; ++c)
                    reply.record.append(QSqlField(QString::fromUtf8(pq_->fname(result, c)),
                                                  metaTypeOf(pq_->ftype(result, c))));
                for (int r = 0; r < pq_->ntuples(result); ++r) {
                    QVariantList row;
                    for (int c = 0; c < columns; ++c)
                        row << (pq_->getisnull(result, r, c)
                                    ? QVariant(metaTypeOf(pq_->ftype(result, c)))
                                    : valueOf(QByteArray(pq_->getvalue(result, r, c),
                                                         pq_->getlength(result, r, c)),
                                              pq_->ftype(result, c)));
                    reply.rows << row;
                }
                const QByteArray affected = pq_->cmdTuples(result);
                reply.rowsAffected = affected.isEmpty() ? -1 : affected.toInt();
            }
        } else if (status != Pq::PipelineAborted && !reply.error.isValid()) {
            const char *state = pq_->resultErrorField(result, Pq::DiagSqlState);
            reply.error = QSqlError(u"Unable to execute statement"_s,
                                    QString::fromUtf8(pq_->resultErrorMessage(result)),
                                    QSqlError::StatementError,
                                    state ? QString::fromLatin1(state) : QString());
        }
        pq_->clear(result);
        // The end of this statement's results.
        while (PGresult *more = pq_->getResult(connection_))
            pq_->clear(more);
        if (pq_->status(connection_) != Pq::ConnectionOk)
            return false;
    }
    PGresult *sync = pq_->getResult(connection_);
    const bool synced = sync && pq_->resultStatus(sync) == Pq::PipelineSync;
    if (sync)
        pq_->clear(sync);
    return synced;
}

} // namespace tallic
