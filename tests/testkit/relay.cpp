#include "testkit/relay.h"

#include "store/datasource.h"
#include "testkit/harness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace tallic::testkit {

namespace {

// A socket listening at the endpoint, or connected to it; -1 when it cannot be. A TCP port
// of 0 listens on a free one.
int endpointSocket(const Endpoint &endpoint, bool listening)
{
    const bool tcp = endpoint.socket.isEmpty();
    const int fd = ::socket(tcp ? AF_INET : AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un local {};
    sockaddr_in loopback {};
    if (tcp) {
        loopback.sin_family = AF_INET;
        loopback.sin_port = htons(endpoint.port);
        loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // Small messages go at once, as they would between two machines' servers.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    } else {
        local.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(endpoint.socket);
        std::copy(name.begin(), name.begin() + qMin(name.size(), 100), local.sun_path);
    }
    const auto *at = tcp ? reinterpret_cast<const sockaddr *>(&loopback)
                         : reinterpret_cast<const sockaddr *>(&local);
    const socklen_t size = tcp ? sizeof loopback : sizeof local;
    if (listening ? ::bind(fd, at, size) || ::listen(fd, 64) : ::connect(fd, at, size)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Past this much waiting for one side, the other side is not read: a side that does not
// read holds up its own connection only, never the relay.
constexpr qsizetype Backlog = 1 << 20;

// One connection through the relay; side 0 is the program's, 1 the server's.
struct Pass
{
    int fd[2] = { -1, -1 };
    QByteArray in[2];
    QByteArray out[2]; // passed on, not yet taken by the side
    // Passed on, still on its way to the side: when it arrives, and what.
    std::deque<std::pair<qint64, QByteArray>> onItsWay[2];
    bool started = false; // the start-up message, which has no type byte, has passed
    int statements = 0;
    bool cutOnAnswer = false;
    bool downOnCut = false;
    bool swallowing = false; // the rest of a pipeline, up to its Sync, is lost
};

// The statement a message of the program's carries: a simple statement's, or the one a
// pipeline's Parse names; null for any other message.
QByteArray statementText(const QByteArray &message, char type)
{
    if (type == 'Q')
        return message.mid(5, message.size() - 6);
    if (type != 'P')
        return QByteArray();
    const qsizetype name = message.indexOf('\0', 5);
    const qsizetype end = message.indexOf('\0', name + 1);
    return name < 0 || end < 0 ? QByteArray() : message.mid(name + 1, end - name - 1);
}

} // namespace

struct ServerRelay::Private
{
    QTemporaryDir folder;
    QString settingsPath;
    QByteArray settings;
    Endpoint server, own;
    // Whether it reads the protocol, or passes bytes as they come.
    bool reads = true;
    int listener = -1;
    std::thread thread;
    std::atomic<bool> stop { false };
    std::atomic<int> cuts { 0 };
    std::atomic<int> roundTrips { 0 };
    QElapsedTimer clock;
    std::mutex mutex; // all below
    int delayMs = 0;
    struct Planted
    {
        QRegularExpression statement;
        Fault fault;
        bool thenDown;
    };
    std::optional<Planted> fault;
    bool frozen = false, isDown = false;
    double chance = 0, commitChance = 0;
    std::mt19937 random;
    std::list<Pass> passes;

    void cut(Pass &pass, bool counted = true)
    {
        isDown = isDown || pass.downOnCut;
        ::close(pass.fd[0]);
        ::close(pass.fd[1]);
        pass.fd[0] = pass.fd[1] = -1;
        cuts += counted ? 1 : 0;
    }
    // Writes what waits for the side as far as the side takes it now, never waiting for
    // it; false when that cut the connection.
    bool flush(Pass &p, int side)
    {
        QByteArray &out = p.out[side];
        while (!out.isEmpty() && !frozen) {
            const ssize_t sent = ::send(p.fd[side], out.constData(), size_t(out.size()),
                                        MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return true;
            if (sent <= 0) {
                cut(p);
                return false;
            }
            out.remove(0, sent);
        }
        return true;
    }
    // Passes on the whole messages that came from the side; false when that cut it.
    bool pass(Pass &p, int from)
    {
        QByteArray &in = p.in[from];
        if (!reads && !frozen && !in.isEmpty()) {
            p.onItsWay[1 - from].emplace_back(clock.elapsed() + delayMs, std::exchange(in, {}));
            return arrive(p, 1 - from);
        }
        while (reads && !frozen) {
            const int head = from == 0 && !p.started ? 0 : 1;
            if (in.size() < head + 4)
                return true;
            const qsizetype size = head + qFromBigEndian<quint32>(in.constData() + head);
            if (in.size() < size)
                return true;
            const char type = head == 1 ? in.at(0) : 0;
            // The program waits for the answer to its start-up message, a statement, or the
            // end (Sync) of a pipeline of them.
            if (from == 0 && (head == 0 || type == 'Q' || type == 'S'))
                ++roundTrips;
            // A pipeline lost on the way is lost to its end.
            if (from == 0 && p.swallowing) {
                p.swallowing = type != 'S';
                in.remove(0, size);
                continue;
            }
            const QByteArray text = from == 0 ? statementText(in.first(size), type) : QByteArray();
            if (!text.isNull()) {
                ++p.statements;
                if (commitChance > 0 && text == "commit"
                    && std::uniform_real_distribution<double>(0, 1)(random) < commitChance)
                    p.cutOnAnswer = true;
                if (fault && fault->statement.match(QString::fromUtf8(text)).hasMatch()) {
                    const Fault what = fault->fault;
                    p.downOnCut = fault->thenDown;
                    fault.reset();
                    frozen = what == Fault::Freeze;
                    if (frozen)
                        return true;
                    if (what == Fault::Swallow) {
                        p.swallowing = type == 'P';
                        in.remove(0, size);
                        continue;
                    }
                    p.cutOnAnswer = what == Fault::CutAnswer;
                    if (!p.cutOnAnswer) {
                        cut(p);
                        return false;
                    }
                }
            }
            const bool unlucky = p.statements > 8 && chance > 0
                && std::uniform_real_distribution<double>(0, 1)(random) < chance;
            if ((from == 1 && p.cutOnAnswer) || unlucky) {
                cut(p);
                return false;
            }
            p.onItsWay[1 - from].emplace_back(clock.elapsed() + delayMs, in.first(size));
            in.remove(0, size);
            p.started = true;
            if (!arrive(p, 1 - from))
                return false;
        }
        return true;
    }
    // What has arrived of what is on its way to the side goes to it; false when that cut the
    // connection.
    bool arrive(Pass &p, int side)
    {
        auto &way = p.onItsWay[side];
        while (!way.empty() && way.front().first <= clock.elapsed())
            p.out[side] += std::exchange(way.front().second, {}), way.pop_front();
        return flush(p, side);
    }
    // How long until the next message arrives somewhere, at most the poll's usual wait.
    int nextArrival() const
    {
        qint64 wait = 20;
        for (const Pass &p : passes) {
            for (const auto &way : p.onItsWay) {
                if (!way.empty())
                    wait = qMin(wait, qMax<qint64>(0, way.front().first - clock.elapsed()));
            }
        }
        return int(wait);
    }
    void run();
};

ServerRelay::ServerRelay(Harness &h)
    : ServerRelay(h.dataDir())
{
}

ServerRelay::ServerRelay(const QString &dataFolder)
    : d(std::make_unique<Private>())
{
    const DataSource source = dataSourceOf(dataFolder);
    d->settingsPath = QDir(dataFolder).filePath(u"tallic.ini"_s);
    QFile ini(d->settingsPath);
    if (!source.onServer() || !ini.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "the relay stands between the program and a test server";
        return;
    }
    d->settings = ini.readAll();
    ini.close();
    const QString socket = u"/.s.PGSQL."_s + QString::number(source.ports.value(0));
    d->server.socket = source.hosts.value(0) + socket;
    d->own.socket = d->folder.path() + socket;
    d->listener = endpointSocket(d->own, true);
    EXPECT_GE(d->listener, 0);
    QString settings = QString::fromUtf8(d->settings);
    settings.replace(u"host="_s + source.hosts.value(0), u"host="_s + d->folder.path());
    ini.open(QIODevice::WriteOnly | QIODevice::Truncate);
    EXPECT_EQ(ini.write(settings.toUtf8()), settings.toUtf8().size());
    ini.close();
    d->clock.start();
    d->thread = std::thread([this] { d->run(); });
}

ServerRelay::ServerRelay(const Endpoint &to)
    : d(std::make_unique<Private>())
{
    d->server = to;
    d->reads = false;
    d->listener = endpointSocket(Endpoint(), true);
    EXPECT_GE(d->listener, 0);
    sockaddr_in bound {};
    socklen_t size = sizeof bound;
    ::getsockname(d->listener, reinterpret_cast<sockaddr *>(&bound), &size);
    d->own.port = ntohs(bound.sin_port);
    d->clock.start();
    d->thread = std::thread([this] { d->run(); });
}

ServerRelay::~ServerRelay()
{
    d->stop = true;
    if (d->thread.joinable())
        d->thread.join();
    for (Pass &pass : d->passes)
        d->cut(pass);
    ::close(d->listener);
    QFile ini(d->settingsPath);
    if (!d->settings.isEmpty() && ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ini.write(d->settings);
}

void ServerRelay::failAt(const QRegularExpression &statement, Fault fault, bool thenDown)
{
    std::lock_guard lock(d->mutex);
    d->fault = Private::Planted { statement, fault, thenDown };
}

void ServerRelay::freeze()
{
    std::lock_guard lock(d->mutex);
    d->frozen = true;
}

void ServerRelay::down()
{
    std::lock_guard lock(d->mutex);
    d->isDown = true;
}

void ServerRelay::mend()
{
    std::lock_guard lock(d->mutex);
    d->frozen = d->isDown = false;
    d->fault.reset();
    d->chance = d->commitChance = 0;
}

void ServerRelay::delay(int msEachWay)
{
    std::lock_guard lock(d->mutex);
    d->delayMs = msEachWay;
}

int ServerRelay::roundTrips() const
{
    return d->roundTrips;
}

void ServerRelay::cutAtRandom(double chance, unsigned seed, double commitAnswers)
{
    std::lock_guard lock(d->mutex);
    d->chance = chance;
    d->commitChance = commitAnswers;
    d->random.seed(seed);
}

int ServerRelay::cuts() const
{
    return d->cuts;
}

Endpoint ServerRelay::listening() const
{
    return d->own;
}

void ServerRelay::Private::run()
{
    char buffer[16384];
    std::unique_lock lock(mutex);
    while (!stop) {
        std::vector<pollfd> watched { { listener, POLLIN, 0 } };
        for (Pass &p : passes) {
            if (isDown || (!frozen && p.fd[1] < 0 && (p.fd[1] = endpointSocket(server, false)) < 0))
                cut(p);
            for (int side = 0; side < 2 && !frozen && p.fd[0] >= 0; ++side) {
                const short reading = p.out[1 - side].size() < Backlog ? POLLIN : 0;
                watched.push_back(
                    { p.fd[side], short(reading | (p.out[side].isEmpty() ? 0 : POLLOUT)), 0 });
            }
        }
        const int wait = nextArrival();
        lock.unlock();
        ::poll(watched.data(), watched.size(), wait);
        lock.lock();
        if (watched[0].revents & POLLIN)
            passes.emplace_back().fd[0] = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        for (size_t i = 1; i < watched.size() && !frozen; ++i) {
            for (Pass &p : passes) {
                const int side = p.fd[0] == watched[i].fd ? 0 : p.fd[1] == watched[i].fd ? 1 : -1;
                const short events = side < 0 ? 0 : watched[i].revents;
                if ((events & POLLOUT) && !flush(p, side))
                    continue;
                if (!(events & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t got = ::recv(watched[i].fd, buffer, sizeof buffer, 0);
                if (got > 0) {
                    p.in[side].append(buffer, got);
                } else {
                    // One side ended: the other is told as a network tells it.
                    cut(p, false);
                }
            }
        }
        // What waited for a frozen network goes on too, and what has arrived goes to its side.
        for (Pass &p : passes) {
            if (p.fd[1] >= 0 && pass(p, 0) && pass(p, 1) && arrive(p, 0))
                arrive(p, 1);
        }
        passes.remove_if([](const Pass &p) { return p.fd[0] < 0; });
    }
}

} // namespace tallic::testkit
