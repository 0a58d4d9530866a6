#include "suite/database.h"
#include "suite/demodata.h"
#include "suite/schema.h"
#include "suite/sharedstate.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <functional>
#include <utility>

#include <gtest/gtest.h>

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

    // A new ardaily row the way posting stores one.
    void postChit(const QString &chit, double base)
    {
        QString db = u"daily"_s;
        DbRead(db, NoChit);
        QVariantList &row = state().RowValues;
        row[0] = 4100.0;
        row[1] = chit;
        row[2] = 20240315.0;
        row[3] = 1001.0;
        row[6] = base;
        row[14] = u" "_s;
        row[15] = u"JONES10:15:00"_s;
        row[17] = 9;
        DbAddNewOn();
        DbWrite(db, u"select * from ardaily where tallicnum = '"_s + chit + u"'"_s);
    }

    QList<QVariantList> chits(const QString &chit)
    {
        return h.rows(u"daily"_s,
                      u"select * from ardaily where tallicnum = '"_s + chit
                          + u"' order by rowid"_s);
    }

    Harness h;
};

TEST_F(DatabaseTest, AFileNamedInAnotherCaseIsFound)
{
    if (h.onServer())
        GTEST_SKIP() << "a schema has no file name";
    ASSERT_TRUE(QFile::rename(path(u"daily.mdb"_s), path(u"DAILY.MDB"_s)));
    ASSERT_TRUE(QFile::rename(path(u"master.mdb"_s), path(u"Master.Mdb"_s)));
    postChit(u"Q42"_s, 12.5);
    EXPECT_EQ(state().ErrNumber, 0);
    QString db = u"daily"_s;
    DbRead(db, u"select * from ardaily where tallicnum = 'Q42'"_s);
    EXPECT_EQ(state().MsgText, QString());
    EXPECT_DOUBLE_EQ(state().RowValues.value(6).toDouble(), 12.5);
    db = u"master.mdb"_s;
    DbRead(db, u"select * from acctinfo where acctnumber = 1001"_s);
    EXPECT_EQ(state().RowValues.value(1).toString(), u"ADAMS"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
    EXPECT_FALSE(QFile::exists(path(u"daily.mdb"_s)));
}

TEST_F(DatabaseTest, AMissingDatabaseIsReportedAndChangesNothing)
{
    const QString message = u"The DAILY.MDB database is missing.\r\n"
                            u"Contact Pellmoor technical support for assistance."_s;
    h.removeDatabase(u"daily"_s);
    using Routine = void (*)(QString &, const QString &);
    const Routine write = [](QString &name, const QString &sql) { DbWrite(name, sql); };
    for (Routine routine : { Routine(DbRead), write }) {
        h.clearDialogs();
        state().RowValues = { u"kept"_s };
        state().RowLastIndex = 0;
        state().MsgText.clear();
        DbAddNewOn();
        QString db = u"daily"_s;
        routine(db, u"select * from ardaily where tallicnum = 'X1'"_s);
        EXPECT_EQ(db, u"DAILY.MDB"_s);
        EXPECT_EQ(h.dialogs(),
                  QList<Dialog> { box(u"Uh-oh..."_s, message, DialogIcon::Information) });
        EXPECT_EQ(state().MsgText, message);
        EXPECT_EQ(state().RowValues, QVariantList { u"kept"_s });
        EXPECT_EQ(state().RowLastIndex, 0);
        EXPECT_EQ(state().ErrNumber, 0);
    }
    // Neither routine makes the database.
    EXPECT_FALSE(h.databaseExists(u"daily"_s));
}

// A settings file that cannot be used, or a server out of reach, is a missing database, and
// the message says why.
TEST_F(DatabaseTest, UnusableSettingsAreAMissingDatabaseWithTheReason)
{
    const std::pair<const char *, const char *> cases[] = {
        { "driver=postgres\n", "tallic.ini: there is no [database] section." },
        { "[database]\ndriver postgres\n", "tallic.ini: line 2 is neither" },
        { "[database]\ndriver=oracle\n", "tallic.ini: driver is postgres or sqlite" },
        { "[database]\ndriver=postgres\ndatabase=x\nport=5432x\n", "tallic.ini: port is" },
        { "[database]\ndriver=postgres\ndatabase=x\npassword=s\n", "tallic.ini: the password" },
        { "[database]\ndriver=postgres\nhost=/nowhere\ndatabase=x\n",
          "The database server cannot be reached: " },
    };
    for (const auto &[settings, reason] : cases) {
        h.createFile(u"tallic.ini"_s, settings);
        h.clearDialogs();
        QString db = u"daily"_s;
        DbRead(db, NoChit);
        ASSERT_EQ(h.dialogs().size(), 1) << settings;
        EXPECT_TRUE(h.dialogs().at(0).text.startsWith(
            u"The DAILY.MDB database is missing.\r\nContact Pellmoor technical support for "
            u"assistance.\r\n\r\n"_s
            + QString::fromLatin1(reason)))
            << qPrintable(h.dialogs().at(0).text);
    }
}

TEST_F(DatabaseTest, EachCallUsesTheFileNowOnDisk)
{
    const auto replace = [this] {
        h.setAside(u"daily"_s);
        createSuiteDatabases(h.dataDir());
    };
    const auto restoreAfterAMissingRead = [&] {
        h.setAside(u"daily"_s);
        QString db = u"daily"_s;
        DbRead(db, NoChit);
        EXPECT_EQ(h.dialogs().size(), 1);
        h.putBack(u"daily"_s);
    };
    const auto closeAUse = [] { SuiteDb(u"daily.mdb"_s).close(); };
    const std::pair<QString, std::function<void()>> changes[] = {
        { u"REPLACED"_s, replace },
        { u"RESTORED"_s, restoreAfterAMissingRead },
        { u"CLOSEALL"_s, [] { DbCloseAll(); } },
        { u"USECLOSED"_s, closeAUse },
    };
    postChit(u"FIRST"_s, 1);
    for (const auto &[chit, change] : changes) {
        h.clearDialogs();
        change();
        postChit(chit, 2);
        EXPECT_EQ(state().ErrNumber, 0) << chit.toStdString();
        EXPECT_EQ(chits(chit).size(), 1) << chit.toStdString();
    }
}

TEST_F(DatabaseTest, AWriteWaitsForAnotherWorkstationsLock)
{
    // A chit of two items: the second row's statement finds the first one.
    postChit(u"WAITED"_s, 7);
    QElapsedTimer clock;
    {
        LockHolder holder(path(u"daily.mdb"_s), 1000);
        clock.start();
        // Reading does not wait for the writer.
        QString db = u"daily"_s;
        DbRead(db, NoChit);
        EXPECT_LT(clock.elapsed(), 500);
        EXPECT_EQ(state().MsgText, u"QUIT"_s);

        postChit(u"WAITED"_s, 7);
        EXPECT_GE(clock.elapsed(), 800);
        EXPECT_EQ(state().ErrNumber, 0);
    }
    EXPECT_EQ(chits(u"WAITED"_s).size(), 2);
    EXPECT_EQ(chits(u"HOLDER"_s).size(), 1);
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
        DbRead(db, u"select count(*) from gl0"_s);
        EXPECT_EQ(state().ErrNumber, 0);
        EXPECT_EQ(versions(), QByteArray("\1\1"));
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    DbCloseAll();
    DbRead(db, u"select count(*) from gl0"_s);
    file.close();
    EXPECT_EQ(versions(), QByteArray("\2\2"));
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
