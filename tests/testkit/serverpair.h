#pragma once

#include "testkit/relay.h"

#include <QString>

#include <memory>

namespace tallic::testkit {

// A TCP port of the loopback that nothing listens on now.
quint16 freeLoopbackPort();

// A primary PostgreSQL server and its synchronous standby, private to a test, as the README
// has a club set them up: each a cluster in a temporary folder, reached through a unix socket
// there and a free TCP port of the loopback, trusting this machine's connections, replication
// ones too. The primary's commits wait for the standby (synchronous_commit = on,
// synchronous_standby_names); the standby, made by pg_basebackup -R, follows the primary
// through a relay the test can stall or cut, and waits for nobody once promoted. Run as root,
// the servers run as the postgres user. Their data is thrown away, so nothing waits for the
// disk. Both are stopped, and their folders removed, with the object.
class ServerPair
{
public:
    enum Server { Primary, Standby };

    // The folder of PostgreSQL's programs (initdb, pg_ctl, ...), the newest installed; empty
    // when there is none, and a test skips.
    static QString programs();

    // Both servers started, the standby following; problem() says why not.
    ServerPair();
    ~ServerPair();
    ServerPair(const ServerPair &) = delete;
    ServerPair &operator=(const ServerPair &) = delete;

    // Why the pair did not start, or the last operation failed; empty when all went well.
    QString problem() const;
    quint16 port(Server server) const;
    // A libpq connection string naming both servers, the primary first, as the postgres
    // user, for the harness (Harness::Server).
    QString connection(const QString &targetSessionAttrs = QStringLiteral("read-write")) const;
    // pg_ctl stop -m immediate: as the server's machine failing, without a checkpoint.
    bool stop(Server server);
    // The standby becomes a primary (pg_ctl promote -w); true once it takes writes.
    bool promote();
    // The standby's link to the primary; there once the pair has started.
    ServerRelay &link();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace tallic::testkit
