#include "demodata.h"
#include "store/database.h"
#include "store/schema.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "testkit/harness.h"
#include "testkit/serverpair.h"
#include "testkit/world.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <functional>
#include <utility>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

int count(Harness &h, const QString &db, const QString &sql)
{
    return h.rows(db, sql).value(0).value(0).toInt();
}

const QString NoChit = u"select * from ardaily where tallicnum = '@#$%^&*()'"_s;

class DatabaseTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return QDir(h.dataDir()).filePath(name); }

    // A new ardaily row the way posting stores one; whether it was stored.
    bool postChit(const QString &chit, double base)
    {
        QString db = u"daily"_s;
        const Result<DbRow> read = DbRead(db, NoChit);
        if (!read)
            return false;
        QVariantList row = read->values;
        row[0] = 4100.0;
        row[1] = chit;
        row[2] = 20240315.0;
        row[3] = 1001.0;
        row[6] = base;
        row[14] = u" "_s;
        row[15] = u"JONES10:15:00"_s;
        row[17] = 9;
        DbAddNewOn();
        const Result<void> written
            = DbWrite(db, u"select * from ardaily where tallicnum = '"_s + chit + u"'"_s, row);
        DbAddNewOff();
        return written.ok();
    }

    QList<QVariantList> chits(const QString &chit)
    {
        return h.rows(u"daily"_s,
                      u"select * from ardaily where tallicnum = '"_s + chit
                          + u"' order by rowid"_s);
    }

    Harness h;
};

// A database that is not there, a settings file that cannot be used or a server out of
// reach is reported missing, with the reason where there is one, and changes nothing;
// neither routine makes the database.
TEST_F(DatabaseTest, AMissingDatabaseIsReportedWithTheReasonAndChangesNothing)
{
    const std::pair<const char *, const char *> cases[] = {
        { nullptr, "" },
        { "driver=postgres\n", "tallic.ini: there is no [database] section." },
        { "[database]\ndriver postgres\n", "tallic.ini: line 2 is neither" },
        { "[database]\ndriver=oracle\n", "tallic.ini: driver is postgres or sqlite" },
        { "[database]\ndriver=postgres\ndatabase=x\nport=5432x\n", "tallic.ini: port is" },
        { "[database]\ndriver=postgres\ndatabase=x\npassword=s\n", "tallic.ini: the password" },
        { "[database]\ndriver=postgres\ndatabase=x\nsslmode=sure\n", "tallic.ini: sslmode is" },
        { "[database]\ndriver=postgres\ndatabase=x\nhost=a,,b\n",
          "tallic.ini: host names an empty" },
        { "[database]\ndriver=postgres\ndatabase=x\nhost=a,b\nport=1,2,3\n",
          "tallic.ini: port lists 3" },
        { "[database]\ndriver=postgres\ndatabase=x\nport=5432,x\n", "tallic.ini: port is not" },
        { "[database]\ndriver=postgres\ndatabase=x\ntarget_session_attrs=writable\n",
          "tallic.ini: target_session_attrs is" },
        { "[database]\ndriver=postgres\nhost=/nowhere\ndatabase=x\n",
          "The database server cannot be reached: " },
    };
    using Routine = Failure (*)(QString &);
    const Routine read = [](QString &name) {
        const Result<DbRow> row = DbRead(name, NoChit);
        return row ? Failure() : row.failure();
    };
    const Routine write = [](QString &name) {
        const Result<void> written = DbWrite(name, NoChit, { u"kept"_s });
        return written ? Failure() : written.failure();
    };
    for (const auto &[settings, reason] : cases) {
        if (settings)
            h.createFile(u"tallic.ini"_s, settings);
        else
            h.removeDatabase(u"daily"_s);
        const QString message = u"The DAILY.MDB database is missing.\r\nContact Pellmoor "
                                u"technical support for assistance."_s
            + (settings ? u"\r\n\r\n"_s + QString::fromLatin1(reason) : QString());
        for (Routine routine : { read, write }) {
            h.clearDialogs();
            DbAddNewOn();
            QString db = u"daily"_s;
            const Failure failure = routine(db);
            DbAddNewOff();
            EXPECT_EQ(db, u"DAILY.MDB"_s);
            ASSERT_EQ(h.dialogs().size(), 1) << settings;
            const Dialog shown = h.dialogs().at(0);
            EXPECT_EQ(shown,
                      box(u"Uh-oh..."_s, settings ? shown.text : message, DialogIcon::Information));
            EXPECT_TRUE(shown.text.startsWith(message)) << qPrintable(shown.text);
            EXPECT_TRUE(failure.shown);
            EXPECT_EQ(failure.database, u"DAILY.MDB"_s);
        }
    }
    EXPECT_FALSE(h.databaseExists(u"daily"_s));
}

// Each call uses the database now there: made anew, put back after a call missed it,
// closed meanwhile, or found whatever the letter case of its file.
TEST_F(DatabaseTest, EachCallUsesTheDatabaseNowThere)
{
    const auto recase = [this] {
        if (!h.onServer()) {
            // Renamed as files at rest are: closed, their logs copied in and gone.
            DbCloseAll();
            ASSERT_TRUE(QFile::rename(path(u"daily.mdb"_s), path(u"DAILY.MDB"_s)));
            ASSERT_TRUE(QFile::rename(path(u"master.mdb"_s), path(u"Master.Mdb"_s)));
        }
    };
    const auto replace = [this] {
        h.setAside(u"daily"_s);
        createSuiteDatabases(h.dataDir());
    };
    const auto restoreAfterAMissingRead = [&] {
        h.setAside(u"daily"_s);
        QString db = u"daily"_s;
        EXPECT_FALSE(DbRead(db, NoChit));
        EXPECT_EQ(h.dialogs().size(), 1);
        h.putBack(u"daily"_s);
    };
    const auto closeAUse = [] {
        SuiteDb db(u"daily.mdb"_s);
        (void)db.open();
        db.close();
    };
    const std::pair<QString, std::function<void()>> changes[] = {
        { u"REPLACED"_s, replace },
        { u"RESTORED"_s, restoreAfterAMissingRead },
        { u"CLOSEALL"_s, [] { DbCloseAll(); } },
        { u"USECLOSED"_s, closeAUse },
        { u"RECASED"_s, recase },
    };
    ASSERT_TRUE(postChit(u"FIRST"_s, 1));
    for (const auto &[chit, change] : changes) {
        // Between calls that find the folder settled: the second may answer from what the
        // first found, and must see the change all the same.
        QThread::msleep(60);
        QString daily = u"daily"_s;
        ASSERT_TRUE(DbRead(daily, NoChit));
        change();
        QThread::msleep(60);
        h.clearDialogs();
        EXPECT_TRUE(postChit(chit, 2)) << chit.toStdString();
        EXPECT_EQ(chits(chit).size(), 1) << chit.toStdString();
        EXPECT_TRUE(h.dialogs().isEmpty());
    }
    QString db = u"master.mdb"_s;
    const Result<DbRow> member = DbRead(db, u"select * from acctinfo where acctnumber = 1001"_s);
    ASSERT_TRUE(member);
    EXPECT_EQ(member->text(1), u"ADAMS"_s);
    EXPECT_FALSE(QFile::exists(path(u"daily.mdb"_s)) && !h.onServer());
}

// Another workstation's write lock is waited for by a chit posted and, inside its own
// transaction, by where the user is recorded; not by a read.
TEST_F(DatabaseTest, AWriteWaitsForAnotherWorkstationsLock)
{
    // A chit of two items: the second row's statement finds the first one.
    ASSERT_TRUE(postChit(u"WAITED"_s, 7));
    QElapsedTimer clock;
    {
        LockHolder holder(path(u"daily.mdb"_s), 1000);
        LockHolder staff(path(u"user.mdb"_s), 1500, u"staff"_s, u"username"_s);
        clock.start();
        QString db = u"daily"_s;
        const Result<DbRow> none = DbRead(db, NoChit);
        EXPECT_LT(clock.elapsed(), 500);
        EXPECT_TRUE(none && !none->found);

        EXPECT_TRUE(postChit(u"WAITED"_s, 7));
        EXPECT_GE(clock.elapsed(), 800);
        session().UserName = u"jones"_s;
        SetStaffLocation(u"A/R Chit"_s);
    }
    EXPECT_EQ(chits(u"WAITED"_s).size(), 2);
    EXPECT_EQ(chits(u"HOLDER"_s).size(), 1);
    EXPECT_EQ(h.rows(u"user"_s, u"select location from staff where username = 'JONES'"_s),
              QList<QVariantList> { { u"A/R Chit"_s } });
    EXPECT_EQ(h.rows(u"user"_s, u"select count(*) from staff where username = 'HOLDER'"_s),
              QList<QVariantList> { { 1 } });
    EXPECT_EQ(session().SysUser, u"1"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
}

// A select inside a transaction gives every row, as outside one; a failure while the rows
// come is numbered as the same failure is anywhere else, on both engines.
TEST_F(DatabaseTest, ResultsComeWholeOrFailAsTheyDo)
{
    const QString members = u"select acctnumber from acctinfo order by acctnumber"_s;
    const qsizetype all = h.rows(u"master"_s, members).size();
    ASSERT_GT(all, 1);
    SuiteDb db(u"master.mdb"_s);
    for (const bool inside : { false, true }) {
        ASSERT_TRUE(!inside || db.transaction().ok());
        Result<QSqlQuery> query = db.query(members);
        ASSERT_TRUE(query.ok());
        qsizetype read = 0;
        while (query->next())
            ++read;
        EXPECT_EQ(read, all) << "inside a transaction: " << inside;
    }
    (void)db.rollback();
    // The second row overflows.
    Result<QSqlQuery> query = db.query(
        u"select abs(case when acctnumber > 1001 then -9223372036854775807 - 1 else 0 end "
        u"+ cast(acctnumber as bigint) * 0) from acctinfo"_s);
    while (query && query->next()) { }
    const Failure failure = query ? dbFailure(query->lastError()) : query.failure();
    EXPECT_EQ(failure.number, JetError::Generic + 1) << qPrintable(failure.description);
}

// A configuration that another workstation keeps locked at start-up is told in a sentence,
// and the operator may try again once it is free, or end.
TEST(StartupLockTest, ALockedConfigurationOffersRetryAndCancel)
{
    struct Waiting final : MachineOverride
    {
        using MachineOverride::MachineOverride;
        LockHolder *holder = nullptr;
        int messageBox(const QString &text, const QString &title, BoxIcon icon,
                       BoxButtons buttons) override
        {
            // The operator answers once the other workstation is done.
            if (holder)
                holder->release();
            return inner.messageBox(text, title, icon, buttons);
        }
    };
    const int waitLimit = setLockWaitLimit(300);
    for (const bool retry : { true, false }) {
        Harness h;
        Waiting operatorAnswers(h);
        prepareMarch2024(h);
        h.queuePickedDates({ u"20240312"_s });
        {
            // Held until the box is answered, however slow the start.
            LockHolder holder(h.dataDir() + u"/config.mdb"_s, 10000, u"ar"_s, u"arconsolidate"_s,
                              true);
            operatorAnswers.holder = &holder;
            h.queueAnswers({ retry });
            h.start();
            operatorAnswers.holder = nullptr;
            holder.release();
        }
        const Dialog offer { DialogKind::Question, u"Varnest"_s,
                             u"Code 3000 in line 0: "_s + lockedDatabaseText(),
                             DialogIcon::Critical };
        EXPECT_EQ(h.dialogs(), QList<Dialog> { offer });
        EXPECT_EQ(h.running(), retry);
    }
    setLockWaitLimit(waitLimit);
}

// On the network the server is known by its certificate: verify-full with the club's own
// authority connects and posts, each server of a list checked against its own name; with
// another authority or name, the database counts as missing, and why, and the program does
// not start.
TEST_F(DatabaseTest, OnTheNetworkTheServerIsKnownByItsCertificate)
{
    const auto setting = [this](const QString &name) {
        return h.rows(u"daily"_s, u"select current_setting('%1')"_s.arg(name)).value(0).value(0);
    };
    if (!h.onServer() || !setting(u"listen_addresses"_s).toString().contains(u"127.0.0.1"_s))
        GTEST_SKIP() << "needs a test server on this machine's network";
    // Two authorities, and a certificate for "localhost" that the first signed.
    QTemporaryDir keys;
    const auto openssl = [&keys](const QString &arguments) {
        QProcess run;
        run.setWorkingDirectory(keys.path());
        run.start(u"openssl"_s, arguments.split(u' '));
        return run.waitForFinished(60000) && run.exitCode() == 0;
    };
    const QString key = u" -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "_s;
    QFile names(keys.filePath(u"names"_s));
    ASSERT_TRUE(names.open(QIODevice::WriteOnly) && names.write("subjectAltName=DNS:localhost"));
    names.close();
    ASSERT_TRUE(openssl(u"req -x509"_s + key + u"-subj /CN=Club -keyout ca.key -out ca.crt"_s)
                && openssl(u"req -x509"_s + key + u"-subj /CN=Other -keyout o.key -out other.crt"_s)
                && openssl(u"req"_s + key + u"-subj /CN=localhost -keyout server.key -out s.csr"_s)
                && openssl(u"x509 -req -in s.csr -CA ca.crt -CAkey ca.key -CAcreateserial "
                           u"-days 1 -extfile names -out server.crt"_s));
    // The server reads its key as the user it runs as.
    const QFileInfo data(setting(u"data_directory"_s).toString());
    QFile::setPermissions(keys.path(), QFileDevice::Permissions(0x7755));
    QFile::setPermissions(keys.filePath(u"server.crt"_s), QFileDevice::Permissions(0x4444));
    ASSERT_EQ(::chown(QFile::encodeName(keys.filePath(u"server.key"_s)).constData(),
                      geteuid() == 0 ? data.ownerId() : uid_t(-1), gid_t(-1)),
              0);
    QFile ini(path(u"tallic.ini"_s));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray direct = ini.readAll();
    const auto reload = [&](const QStringList &changes, const QString &ssl) {
        for (const QString &change : changes)
            h.exec(u"daily"_s, u"alter system "_s + change);
        h.exec(u"daily"_s, u"select pg_reload_conf()"_s);
        for (int i = 0; i < 100 && setting(u"ssl"_s).toString() != ssl; ++i)
            QThread::msleep(50);
    };
    reload({ u"set ssl_cert_file = '%1/server.crt'"_s.arg(keys.path()),
             u"set ssl_key_file = '%1/server.key'"_s.arg(keys.path()), u"set ssl = on"_s },
           u"on"_s);
    const auto reset = qScopeGuard([&] {
        h.createFile(u"tallic.ini"_s, direct);
        reload({ u"reset all"_s }, u"off"_s);
    });
    // The certificate names localhost, not 127.0.0.1. A server that cannot be reached is
    // passed over (%2 is a closed port); the next one is known by its own name.
    struct Case
    {
        const char *hosts, *ports, *authority;
        const char *failure; // none: the chit is stored
    };
    const Case cases[] = {
        { "localhost", "%1", "ca.crt", nullptr },
        { "localhost,localhost", "%2,%1", "ca.crt", nullptr },
        { "localhost,127.0.0.1", "%2,%1", "ca.crt", "does not match host name \"127.0.0.1\"" },
        { "localhost", "%1", "other.crt", "certificate verify failed" },
    };
    for (const char *authority : { "ca.crt", "other.crt" })
        ASSERT_TRUE(QFile::copy(keys.filePath(QString::fromLatin1(authority)),
                                path(QString::fromLatin1(authority))));
    const QString port = QString::fromUtf8(direct).section(u"port="_s, 1).section(u'\n', 0, 0);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.hosts);
        QString settings = QString::fromUtf8(direct);
        settings.replace(QRegularExpression(u"host=[^\n]*"_s),
                         u"host="_s + QString::fromLatin1(c.hosts));
        settings.replace(u"port="_s + port, u"port="_s + QString::fromLatin1(c.ports));
        settings.replace(u"%1"_s, port).replace(u"%2"_s, QString::number(freeLoopbackPort()));
        h.createFile(
            u"tallic.ini"_s,
            (settings + u"sslmode=verify-full\nsslrootcert="_s + QString::fromLatin1(c.authority))
                .toUtf8());
        h.clearDialogs();
        const QString chit = u"TLS-"_s + QString::fromLatin1(c.hosts);
        if (!c.failure) {
            EXPECT_TRUE(postChit(chit, 1));
            EXPECT_EQ(h.dialogs(), QList<Dialog>());
            EXPECT_EQ(chits(chit).size(), 1);
            EXPECT_EQ(
                h.rows(u"daily"_s, u"select ssl from pg_stat_ssl where pid = pg_backend_pid()"_s),
                QList<QVariantList> { { true } });
            continue;
        }
        QString db = u"daily"_s;
        EXPECT_FALSE(DbRead(db, NoChit));
        ASSERT_EQ(h.dialogs().size(), 1);
        EXPECT_TRUE(h.dialogs().at(0).text.contains(u"database is missing"_s));
        EXPECT_TRUE(h.dialogs().at(0).text.contains(QString::fromLatin1(c.failure)))
            << qPrintable(h.dialogs().at(0).text);
    }
    // At start-up that box is all, and the program ends.
    h.clearDialogs();
    h.start();
    EXPECT_FALSE(h.running());
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_TRUE(h.dialogs().at(0).text.contains(u"certificate verify failed"_s))
        << qPrintable(h.dialogs().at(0).text);
}

// A file still in rollback mode takes the log on the first open that has it alone; while
// another workstation reads it, it is used as it is.
TEST_F(DatabaseTest, AFileInRollbackModeTakesTheLogOnTheFirstOpenThatHasItAlone)
{
    if (h.onServer())
        GTEST_SKIP() << "a server keeps its own log";
    QFile file(path(u"gl.mdb"_s));
    const auto versions
        = [&file] { return file.open(QIODevice::ReadOnly) ? file.read(20).mid(18) : QByteArray(); };
    QString db = u"gl"_s;
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        other.setDatabaseName(path(u"gl.mdb"_s));
        QSqlQuery q(other);
        ASSERT_TRUE(other.open() && q.exec(u"pragma journal_mode = delete"_s) && q.exec(u"begin"_s)
                    && q.exec(u"select count(*) from gl0"_s) && q.next());
        EXPECT_TRUE(DbRead(db, u"select count(*) from gl0"_s));
        EXPECT_EQ(versions(), QByteArray("\1\1"));
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    DbCloseAll();
    EXPECT_TRUE(DbRead(db, u"select count(*) from gl0"_s));
    file.close();
    EXPECT_EQ(versions(), QByteArray("\2\2"));
}

// The first write of a workstation gives the daily file's log its working length; what
// another one committed into the log before and after stays, through the files' closing.
TEST_F(DatabaseTest, TheLogLengthenedByTheFirstWriteKeepsWhatOthersCommitted)
{
    if (h.onServer())
        GTEST_SKIP() << "a server keeps its own log";
    const QString log = path(u"daily.mdb-wal"_s);
    const QString insert = u"insert into ardaily values (4100, 'OTHER', 20240312, 1001, 0, 0, "
                           u"10, 1.8, .71, 12.51, 0, 0, 0, 0, ' ', 'X', null, 9)"_s;
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        other.setDatabaseName(path(u"daily.mdb"_s));
        QSqlQuery q(other);
        // Its commits stay in the log: nothing copies them into the file meanwhile.
        ASSERT_TRUE(other.open() && q.exec(u"pragma wal_autocheckpoint = 0"_s) && q.exec(insert)
                    && q.exec(insert));
        const qint64 before = QFileInfo(log).size();
        ASSERT_TRUE(postChit(u"MINE"_s, 5));
        EXPECT_GE(QFileInfo(log).size(), std::max<qint64>(before + 1, 4000000));
        ASSERT_TRUE(q.exec(insert));
        other.close();
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    DbCloseAll();
    EXPECT_EQ(chits(u"OTHER"_s).size(), 3);
    EXPECT_EQ(chits(u"MINE"_s).size(), 1);
    EXPECT_EQ(h.rows(u"daily"_s, u"pragma integrity_check"_s),
              (QList<QVariantList> { { u"ok"_s } }));
}

// A disk without room for the lengthened log still takes the chit: the zeros that fitted
// are given back.
TEST_F(DatabaseTest, ADiskWithoutRoomForTheLongerLogStillTakesTheChit)
{
    if (h.onServer())
        GTEST_SKIP() << "a server keeps its own log";
    // No file may grow past a megabyte, as on a disk that has no more room.
    rlimit unlimited {};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    rlimit megabyte = unlimited;
    megabyte.rlim_cur = 1 << 20;
    const auto signalled = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &megabyte), 0);
    const bool posted = postChit(u"ROOM"_s, 5);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, signalled);
    EXPECT_TRUE(posted);
    EXPECT_LT(QFileInfo(path(u"daily.mdb-wal"_s)).size(), 1 << 20);
    EXPECT_EQ(chits(u"ROOM"_s).size(), 1);
}

TEST(SuiteFilesTest, CreationMakesOnlyWhatIsMissingAndLeavesNothingBehind)
{
    Harness h;
    const QDir dir(h.dataDir());
    const QStringList files { u"ar.mdb"_s, u"config.mdb"_s, u"daily.mdb"_s,   u"emp.mdb"_s,
                              u"gl.mdb"_s, u"master.mdb"_s, u"master2.mdb"_s, u"user.mdb"_s };
    const auto suiteFiles = [&] {
        QStringList names
            = dir.entryList({ u"*.mdb*"_s, u"*.building*"_s }, QDir::Files, QDir::Name);
        for (QString &name : names)
            name = name.toLower();
        names.sort();
        return names;
    };
    // On a server the databases are schemas, and the folder holds no file of them.
    const bool onFiles = !h.onServer();
    const QStringList made = onFiles ? files : QStringList();
    EXPECT_EQ(suiteFiles(), made);
    for (const QString &file : files) {
        EXPECT_TRUE(h.databaseExists(file.chopped(4)));
        // Born in write-ahead logging: the header's read and write versions are 2.
        if (QFile header(dir.filePath(file)); onFiles && header.open(QIODevice::ReadOnly)) {
            EXPECT_EQ(header.read(20).mid(18), QByteArray("\2\2")) << qPrintable(file);
        }
    }

    h.exec(u"daily"_s, u"insert into ardaily (tallicnum) values ('KEEP')"_s);
    h.removeDatabase(u"emp"_s);
    if (onFiles) {
        ASSERT_TRUE(QFile::rename(dir.filePath(u"gl.mdb"_s), dir.filePath(u"GL.MDB"_s)));
    }
    createSuiteDatabases(h.dataDir());
    createSuiteDatabases(h.dataDir());
    EXPECT_EQ(suiteFiles(), made);
    EXPECT_TRUE(h.databaseExists(u"emp"_s));
    EXPECT_EQ(onFiles, QFile::exists(dir.filePath(u"GL.MDB"_s)));
    EXPECT_EQ(count(h, u"daily"_s, u"select count(*) from ardaily"_s), 1);
    EXPECT_EQ(count(h, u"emp"_s, u"select count(*) from empinfo"_s), 0);

    // Demo data goes only into empty tables.
    const int members = count(h, u"master"_s, u"select count(*) from acctinfo"_s);
    createDemoData(h.dataDir(), QDate(2024, 3, 15));
    EXPECT_EQ(count(h, u"master"_s, u"select count(*) from acctinfo"_s), members);
    EXPECT_EQ(count(h, u"daily"_s, u"select count(*) from ardaily"_s), 1);
    EXPECT_EQ(count(h, u"emp"_s, u"select count(*) from empinfo"_s), 8);
    EXPECT_EQ(count(h, u"config"_s, u"select count(*) from ar"_s), 1);
    EXPECT_EQ(suiteFiles(), made);
}

} // namespace
