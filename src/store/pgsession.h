#pragma once

#include "datasource.h"
#include "libpq.h"
#include "serversteps.h"

#include <QSqlError>
#include <QString>

namespace tallic {

// One session with a database server through libpq, for one thread. Every call sends its
// statements in one round trip (libpq's pipeline), each with its values bound as values.
class PgSession
{
public:
    PgSession() = default;
    ~PgSession();
    PgSession(const PgSession &) = delete;
    PgSession &operator=(const PgSession &) = delete;

    // Connects to the source's server and sets the session up for the suite database: no
    // error, and the session as the server names it; else why, in the layer's terms (a
    // server out of reach, a schema missing, a server that does not read text literally).
    QSqlError open(const DataSource &source, const QString &fileName, int lockTimeout,
                   ServerSession &session);

    // The steps in order, up to the first that fails; when a step after the first fails and
    // the server still answers, undo runs. The reply holds the rows of step resultStep. A
    // lock timeout other than the session's is set first, in the same round trip.
    ServerReply run(const QList<ServerStep> &steps, int resultStep, const QString &undo,
                    int lockTimeout);

private:
    // The results of the statements sent, into the reply; false when the connection went.
    bool collect(int count, int first, int resultStep, ServerReply &reply);
    QSqlError lost() const;

    const PqCalls *pq_ = nullptr;
    PGconn *connection_ = nullptr;
    int appliedLockTimeout_ = -1;
};

} // namespace tallic
