#pragma once

#include "database.h"
#include "datasource.h"
#include "serversteps.h"

#include <QList>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>

namespace tallic {

// One of the program's server connections, held by a thread of its own: the window
// repaints while a statement waits for the server, and a server that does not answer is
// given up on when the program decides, not when the network stack does. A link given up
// on is never used again; its thread ends on its own once the server or the network lets
// go of it.
class ServerLink
{
public:
    ServerLink(const DataSource &source, const QString &fileName);
    ~ServerLink();
    ServerLink(const ServerLink &) = delete;
    ServerLink &operator=(const ServerLink &) = delete;

    // What a caller does while it waits longer than a moment: the window's lock wait.
    using SlowWait = std::function<void()>;

    // Opens the connection as openSuiteDatabase() does, waiting at most ms.
    QSqlError open(int ms, const SlowWait &slow);
    // Runs the steps in order until one fails; when a step after the first fails and the
    // connection still answers, undo runs. The reply holds the rows of step resultStep.
    ServerReply run(const QList<ServerStep> &steps, int resultStep, const QString &undo, int ms,
                    const SlowWait &slow);
    // Open, and not given up on.
    bool usable() const;
    // The server's session of this connection.
    ServerSession session() const { return session_; }

    // Applied on the next run: how long the server lets a statement wait for a lock.
    void setLockTimeout(int ms) { lockTimeoutMs_ = ms; }

private:
    struct Shared;
    ServerReply call(std::function<ServerReply()> job, int ms, const SlowWait &slow);

    std::shared_ptr<Shared> shared_;
    bool open_ = false;
    bool abandoned_ = false;
    ServerSession session_;
    int lockTimeoutMs_ = 0;
};

// Rows already read, as a forward-only query over them: what the program's server
// statements give their callers. A failed statement is an inactive query with the error.
QSqlQuery rowsQuery(const QSqlRecord &record, const QList<QVariantList> &rows, int rowsAffected,
                    const QSqlError &error = QSqlError());

} // namespace tallic
