#include "testkit/serverpair.h"

#include <QCollator>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace tallic::testkit {

quint16 freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const auto *at = reinterpret_cast<sockaddr *>(&address);
    const bool bound = ::bind(fd, at, size) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0;
    ::close(fd);
    return bound ? ntohs(address.sin_port) : 0;
}

namespace {

const char *const Names[] = { "primary", "standby" };

} // namespace

struct ServerPair::Private
{
    QTemporaryDir folder { QDir::tempPath() + u"/tallic-pair-XXXXXX"_s };
    QString bin;
    quint16 ports[2] = { 0, 0 };
    bool running[2] = { false, false };
    std::unique_ptr<ServerRelay> link;
    QString problem;

    QString data(Server server) const
    {
        return folder.filePath(QString::fromLatin1(Names[server]));
    }
    QString log(Server server) const { return data(server) + u".log"_s; }

    // Runs one of PostgreSQL's programs, as the postgres user when this is root (the servers
    // refuse to run as root); whether it succeeded, and what it said when not.
    bool run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString path = bin + u'/' + program;
        if (::geteuid() == 0)
            process.start(u"runuser"_s,
                          QStringList { u"-u"_s, u"postgres"_s, u"--"_s, path } + arguments);
        else
            process.start(path, arguments);
        if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0)
            return true;
        problem = program + u' ' + arguments.join(u' ') + u": "_s
            + QString::fromLocal8Bit(process.readAll());
        return false;
    }
    bool addSettings(Server server, const QString &settings)
    {
        QFile conf(data(server) + u"/postgresql.conf"_s);
        return conf.open(QIODevice::Append)
            && conf.write(settings.toUtf8()) == settings.toUtf8().size();
    }
    bool pgCtl(Server server, const QStringList &arguments)
    {
        if (run(u"pg_ctl"_s,
                QStringList { u"-D"_s, data(server), u"-l"_s, log(server) } + arguments))
            return true;
        QFile serverLog(log(server));
        if (serverLog.open(QIODevice::ReadOnly))
            problem += QString::fromUtf8(serverLog.readAll().right(2000));
        return false;
    }
    // Whether the primary's commits now wait for the standby.
    bool standbyFollows()
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 30000) {
            QProcess psql;
            psql.start(bin + u"/psql"_s,
                       { u"-h"_s, folder.path(), u"-p"_s, QString::number(ports[Primary]), u"-U"_s,
                         u"postgres"_s, u"-Atc"_s,
                         u"select sync_state from pg_stat_replication"_s });
            if (psql.waitForFinished(10000) && psql.readAll().trimmed() == "sync")
                return true;
            QThread::msleep(50);
        }
        problem = u"the standby does not follow the primary"_s;
        return false;
    }
    bool makePrimary();
    bool makeStandby();
};

QString ServerPair::programs()
{
    QStringList versions
        = QDir(u"/usr/lib/postgresql"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), numeric);
    const QString bin = u"/usr/lib/postgresql/"_s + versions.value(versions.size() - 1) + u"/bin"_s;
    return !versions.isEmpty() && QFileInfo(bin + u"/initdb"_s).isExecutable() ? bin : QString();
}

bool ServerPair::Private::makePrimary()
{
    // initdb's trust lets this machine's replication connections in too.
    if (!run(u"initdb"_s,
             { u"-D"_s, data(Primary), u"-A"_s, u"trust"_s, u"-U"_s, u"postgres"_s, u"-E"_s,
               u"UTF8"_s, u"--no-sync"_s }))
        return false;
    const QString settings = u"\nlisten_addresses = '127.0.0.1'\nunix_socket_directories = '%1'\n"
                             u"port = %2\ncluster_name = 'primary'\nwal_level = replica\n"
                             u"max_wal_senders = 4\nsynchronous_commit = on\n"
                             u"synchronous_standby_names = 'standby'\nfsync = off\n"
                             u"full_page_writes = off\n"_s.arg(folder.path())
                                 .arg(ports[Primary]);
    return addSettings(Primary, settings) && pgCtl(Primary, { u"-w"_s, u"start"_s });
}

bool ServerPair::Private::makeStandby()
{
    // Made and linked through the relay: its primary_conninfo names the relay's port.
    link = std::make_unique<ServerRelay>(Endpoint { QString(), ports[Primary] });
    if (!run(u"pg_basebackup"_s,
             { u"-h"_s, u"127.0.0.1"_s, u"-p"_s, QString::number(link->listening().port), u"-U"_s,
               u"postgres"_s, u"-D"_s, data(Standby), u"-R"_s, u"-X"_s, u"stream"_s, u"-c"_s,
               u"fast"_s, u"--no-sync"_s }))
        return false;
    // Once promoted it stands alone: its commits wait for no standby.
    const QString settings = u"\nport = %1\ncluster_name = 'standby'\n"
                             u"synchronous_standby_names = ''\n"_s.arg(ports[Standby]);
    return addSettings(Standby, settings) && pgCtl(Standby, { u"-w"_s, u"start"_s })
        && standbyFollows();
}

ServerPair::ServerPair()
    : d(std::make_unique<Private>())
{
    d->bin = programs();
    if (d->bin.isEmpty() || !d->folder.isValid()) {
        d->problem = u"no PostgreSQL programs in /usr/lib/postgresql/*/bin, or no folder"_s;
        return;
    }
    if (::geteuid() == 0) {
        const passwd *postgres = ::getpwnam("postgres");
        if (!postgres
            || ::chown(QFile::encodeName(d->folder.path()).constData(), postgres->pw_uid,
                       postgres->pw_gid)
                != 0) {
            d->problem = u"there is no postgres user to run the servers as"_s;
            return;
        }
    }
    d->ports[Primary] = freeLoopbackPort();
    do
        d->ports[Standby] = freeLoopbackPort();
    while (d->ports[Standby] == d->ports[Primary]);
    d->running[Primary] = d->makePrimary();
    d->running[Standby] = d->running[Primary] && d->makeStandby();
}

ServerPair::~ServerPair()
{
    for (const Server server : { Standby, Primary }) {
        if (d->running[server])
            stop(server);
    }
    d->link.reset();
}

QString ServerPair::problem() const
{
    return d->problem;
}

quint16 ServerPair::port(Server server) const
{
    return d->ports[server];
}

QString ServerPair::connection(const QString &targetSessionAttrs) const
{
    return u"host=127.0.0.1,127.0.0.1 port=%1,%2 user=postgres dbname=postgres "
           u"target_session_attrs=%3"_s.arg(d->ports[Primary])
               .arg(d->ports[Standby])
               .arg(targetSessionAttrs);
}

bool ServerPair::stop(Server server)
{
    d->problem.clear();
    const bool stopped = d->pgCtl(server, { u"-m"_s, u"immediate"_s, u"-w"_s, u"stop"_s });
    d->running[server] = d->running[server] && !stopped;
    return stopped;
}

bool ServerPair::promote()
{
    d->problem.clear();
    return d->pgCtl(Standby, { u"-w"_s, u"promote"_s });
}

ServerRelay &ServerPair::link()
{
    return *d->link;
}

} // namespace tallic::testkit
