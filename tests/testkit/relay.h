#pragma once

#include <QRegularExpression>
#include <QString>

#include <memory>

namespace tallic::testkit {

class Harness;

// A place on this machine to connect to: a unix socket's path, or else a TCP port of the
// loopback.
struct Endpoint
{
    QString socket;
    quint16 port = 0;
};

// The network between the program and the test server, failing where a test says: a socket
// of its own that passes each connection on to the server's socket, reading the protocol as
// it goes. While it lives, the harness's data folder (or the data folder given, whose
// tallic.ini names a server by its socket's folder) names it instead of the server.
class ServerRelay
{
public:
    explicit ServerRelay(Harness &h);
    explicit ServerRelay(const QString &dataFolder);
    // Between any two servers of this machine: a TCP port of the loopback of its own that
    // passes each connection on to the endpoint, the bytes as they come (failAt() and
    // cutAtRandom() read the protocol, and do nothing here).
    explicit ServerRelay(const Endpoint &to);
    ~ServerRelay();
    ServerRelay(const ServerRelay &) = delete;
    ServerRelay &operator=(const ServerRelay &) = delete;

    // What becomes of the first statement sent that matches: its connection is cut before
    // the server sees it, or before its answer comes back; or the network freezes there; or
    // the statement is lost on the way while its connection stays, as a server sees a cable
    // pulled: nothing ends its session. With thenDown the server goes away with the cut, as
    // down() has it, until mend().
    enum class Fault { CutBefore, CutAnswer, Freeze, Swallow };
    void failAt(const QRegularExpression &statement, Fault fault, bool thenDown = false);
    // Nothing passes any more, and no connection ends: a pulled network cable.
    void freeze();
    // Every connection is cut and new ones are turned away: a server restarting.
    void down();
    // Everything passes again, and no fault waits.
    void mend();
    // Once a connection is set up (past its eighth statement), each message either way is
    // the one before which it is cut, with the chance given; and the answer to a COMMIT is
    // cut with the chance commitAnswers, so that its outcome must be looked up.
    void cutAtRandom(double chance, unsigned seed, double commitAnswers = 0);
    int cuts() const;
    // Each message takes this long on its way, either way: a server twice as far away as the
    // delay, a round trip at a time. Every statement then costs the program that much more.
    void delay(int msEachWay);
    // How many times the program has waited for the server's answer through the relay: a
    // statement sent, and a connection's start.
    int roundTrips() const;
    // Where it takes connections.
    Endpoint listening() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace tallic::testkit
