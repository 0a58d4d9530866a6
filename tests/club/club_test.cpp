// tallic-club as the person who sets up an office uses it: a new club, its settings, its
// lists and old files, copies, backups, and the first chit keyed on what it made.
#include "suite/schema.h"
#include "suite/sharedstate.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using tallic::testkit::Harness;

namespace {

struct Ran
{
    int code;
    QString out;
};

Ran club(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(TALLIC_CLUB), arguments);
    process.waitForFinished(180000);
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
             QString::fromUtf8(process.readAll()) };
}

// The first column of the first row, read straight from an SQLite file.
QVariant value(const QString &path, const QString &sql)
{
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"peek"_s);
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (db.open() && query.exec(sql) && query.next())
            result = query.value(0);
    }
    QSqlDatabase::removeDatabase(u"peek"_s);
    return result;
}

bool onServer()
{
    return qEnvironmentVariable("TALLIC_TEST_ENGINE") == u"postgres"_s;
}

const QString Legacy = QStringLiteral(TALLIC_LEGACY_MDB);

#define SKIP_WITHOUT_LEGACY()                                                                      \
    if (!QFile::exists(Legacy + u"/nwind.mdb"_s))                                                  \
    GTEST_SKIP() << "the sample Jet files are not in " << qPrintable(Legacy)                       \
                 << " (../shared beside the checkout)"

void write(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

// Every file of the folder with its size: what "left as it was" is measured by.
// The files of the folder with their sizes; a log's index, and a log that holds nothing,
// are left out: whoever opens a file last leaves them, and they say nothing of its rows.
QStringList listing(const QString &folder)
{
    QStringList files;
    for (const QFileInfo &info : QDir(folder).entryInfoList(
             QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString name = info.fileName();
        if (name.endsWith(u"-shm"_s) || (name.endsWith(u"-wal"_s) && info.size() == 0))
            continue;
        files << name + u' ' + QString::number(info.isDir() ? 0 : info.size());
    }
    return files;
}

class ClubTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (onServer())
            GTEST_SKIP() << "on files only; the server's round trip has its own test";
    }
    QString path(const QString &name) const { return QDir(dir.path()).filePath(name); }
    QTemporaryDir dir;
};

TEST_F(ClubTest, ANewClubIsSetImportedAndKeyedInto)
{
    const QString folder = path(u"club"_s);
    Ran run = club({ u"new"_s, folder });
    ASSERT_EQ(run.code, 0) << qPrintable(run.out);
    EXPECT_EQ(value(folder + u"/daily.mdb"_s, u"pragma user_version"_s).toInt(),
              tallic::SuiteSchemaVersion);
    EXPECT_EQ(value(folder + u"/config.mdb"_s, u"select count(*) from ar"_s).toInt(), 1);

    struct Step
    {
        QStringList arguments;
        int code;
        QString said; // each line of it
    };
    write(path(u"classes.csv"_s),
          "classcode;Description\r\nREG;Regular\r\nSOC;\"Social; evening\"\r\n");
    write(path(u"members.csv"_s),
          "acctnumber,lname,fname,classcode,balfwd\n1001,SMITH,JOHN,REG,12.5\n"
          "1001.01,SMITH,MARY,REG,\n1002,\"O'BRIEN, \"\"PAT\"\"\",,SOC,0\n");
    write(path(u"accounts.csv"_s),
          "glacctnum,glacctname,gllevel,arsrvchg,arsalestax\n"
          "1200,Accounts Receivable,1,0,0\n3900,Current Profit,1,0,0\n"
          "4100,Food,1,0.18,0.06\n");
    write(path(u"bad.csv"_s),
          "acctnumber,lname,classcode\n1003,A,REG\n99999.999,B,REG\n1004,C,NONE\n"
          "0,D,REG\n1003,E,REG\n,F,REG\n1005,\"G,REG\n");
    const Step steps[] = {
        { { u"new"_s, folder }, 1, u"already holds config.mdb"_s },
        // Nothing starts before the two accounts are set.
        { { u"settings"_s, folder, u"ar-month=13"_s }, 1, u"a whole number from 1 to 12"_s },
        { { u"settings"_s, folder, u"armonth=3"_s }, 1, u"armonth: no such setting"_s },
        { { u"settings"_s, folder, u"ar-month=3"_s, u"ar-year=2024"_s, u"ar-account=1200"_s,
            u"profit-account=3900"_s, u"sales-tax-rate=0.06"_s, u"employee-validation=3"_s },
          0,
          u"6 settings changed"_s },
        { { u"settings"_s, folder }, 0, u"ar-month = 3"_s },
        { { u"import-csv"_s, folder, u"members"_s, path(u"members.csv"_s) },
          1,
          u"the class REG is neither in the classcode table nor in this import"_s },
        { { u"import-csv"_s, folder, u"members"_s, path(u"members.csv"_s), u"classes"_s,
            path(u"classes.csv"_s), u"accounts"_s, path(u"accounts.csv"_s) },
          0,
          u"members (members.csv): 3 added"_s },
        { { u"import-csv"_s, folder, u"members"_s, path(u"bad.csv"_s) },
          1,
          u"bad.csv, line 3: acctnumber \"99999.999\" is not a member number from 1 to 99999.99\n"
          u"bad.csv, line 5: acctnumber \"0\" is not a member number from 1 to 99999.99\n"
          u"bad.csv, line 6: member 1003 is on line 2 too\n"
          u"bad.csv, line 7: acctnumber is empty\n"
          u"bad.csv, line 8: a quoted field is not closed before the end of the file\n"
          u"bad.csv, line 4: the class NONE is neither in the classcode table nor in this import\n"
          u"6 bad lines; nothing was written"_s },
        { { u"import-csv"_s, folder, u"classes"_s, path(u"classes.csv"_s) },
          1,
          u"class REG is already in MASTER.MDB (--update changes it)"_s },
        { { u"import-csv"_s, folder, u"classes"_s, path(u"classes.csv"_s), u"--update"_s },
          0,
          u"classes (classes.csv): 0 added, 2 changed"_s },
        { { u"check"_s, folder }, 0, u"are in order"_s },
    };
    for (const Step &step : steps) {
        run = club(step.arguments);
        EXPECT_EQ(run.code, step.code) << qPrintable(step.arguments.join(u' ') + u'\n' + run.out);
        for (const QString &line : step.said.split(u'\n'))
            EXPECT_TRUE(run.out.contains(line)) << qPrintable(line + u"\nnot in\n"_s + run.out);
    }
    EXPECT_EQ(value(folder + u"/master.mdb"_s, u"select count(*) from acctinfo"_s).toInt(), 3);
    EXPECT_TRUE(
        value(folder + u"/master.mdb"_s, u"select fname from acctinfo where acctnumber = 1002"_s)
            .isNull());
    EXPECT_EQ(
        value(folder + u"/master.mdb"_s, u"select lname from acctinfo where acctnumber = 1002"_s),
        u"O'BRIEN, \"PAT\""_s);
    EXPECT_EQ(value(folder + u"/ar.mdb"_s, u"select arsrvchg from ar0 where aracctnum = 4100"_s),
              0.18);

    // The first chit, keyed on the new club as an office keys it.
    Harness h(folder);
    h.setToday(QDate(2024, 3, 12));
    h.queuePickedDates({ u"20240312"_s });
    h.start();
    ASSERT_TRUE(h.running()) << qPrintable(h.dialogTitles().join(u", "_s));
    EXPECT_EQ(h.control(u"arinput"_s).caption, u"JONES @ Accounts Receivable  - in A/R month: 3"_s);
    h.keys(u"4100{ENTER}7{ENTER}{ENTER}1001.01{ENTER}{ENTER}10{ENTER}{ENTER}"_s);
    EXPECT_EQ(
        value(folder + u"/daily.mdb"_s, u"select artotal from ardaily where tallicnum = '7'"_s)
            .toDouble(),
        12.4);
}

TEST_F(ClubTest, ANewClubDoesNotStartUntilItsAccountsAreSet)
{
    ASSERT_EQ(club({ u"new"_s, path(u"club"_s) }).code, 0);
    Harness h(path(u"club"_s));
    h.start();
    EXPECT_FALSE(h.running());
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_TRUE(h.dialogs().at(0).text.startsWith(
        u"The club's settings are not complete: the A/R account (ar-account) and the "
        u"current-profit account (profit-account) are not set."_s))
        << qPrintable(h.dialogs().at(0).text);
}

// The club's old Jet files, each table checked against the file, and what cannot be read.
TEST_F(ClubTest, OldJetFilesComeInWholeOrNotAtAll)
{
    SKIP_WITHOUT_LEGACY();
    QFile nwind(Legacy + u"/nwind.mdb"_s);
    ASSERT_TRUE(nwind.open(QIODevice::ReadOnly));
    const QByteArray jet = nwind.readAll();
    struct Case
    {
        QString name;
        QByteArray daily;
        int code;
        QString said;
    };
    const Case cases[] = {
        { u"text"_s, "Not a database at all\n", 1, u"DAILY.MDB: not an Access/Jet database"_s },
        { u"sqlite"_s, QByteArray("SQLite format 3\0 and more bytes of it", 38), 1,
          u"DAILY.MDB: an SQLite database"_s },
        { u"truncated"_s, jet.left(jet.size() / 2 + 100), 1, u"DAILY.MDB: cut short"_s },
        { u"pages missing"_s, jet.left(jet.size() / 2), 1, u"cannot be read"_s },
        { u"whole"_s, jet, 0, u"10 tables, 4038 rows"_s },
    };
    for (const Case &c : cases) {
        const QString old = path(c.name + u"-old"_s), target = path(c.name + u"-new"_s);
        QDir().mkpath(old);
        write(old + u"/DAILY.MDB"_s, c.daily);
        QFile::copy(Legacy + u"/DateTestDatabase.mdb"_s, old + u"/master.mdb"_s);
        const Ran run = club({ u"import-legacy"_s, old, target });
        EXPECT_EQ(run.code, c.code) << qPrintable(c.name + u'\n' + run.out);
        EXPECT_TRUE(run.out.contains(c.said)) << qPrintable(c.said + u"\nnot in\n"_s + run.out);
        if (c.code != 0) {
            EXPECT_EQ(listing(target), QStringList()) << qPrintable(c.name);
            continue;
        }
        // The counts mdb-count gives, the text in its code page, a Single as it shows.
        QFile counts(Legacy + u"/counts.txt"_s);
        ASSERT_TRUE(counts.open(QIODevice::ReadOnly));
        for (const QString &line : QString::fromUtf8(counts.readAll()).split(u'\n')) {
            const QStringList parts = line.split(u'\t');
            if (parts.size() == 2) {
                EXPECT_EQ(
                    value(target + (parts[0] == u"DateTest"_s ? u"/master.mdb"_s : u"/daily.mdb"_s),
                          u"select count(*) from \""_s + parts[0] + u'"')
                        .toInt(),
                    parts[1].toInt())
                    << qPrintable(parts[0]);
            }
        }
        const QString daily = target + u"/daily.mdb"_s;
        EXPECT_EQ(
            value(daily, u"select count(*) from Customers where CompanyName = 'Comércio Mineiro'"_s)
                .toInt(),
            1);
        EXPECT_EQ(
            value(daily, u"select max(Discount) from \"Order Details\" where Discount < 0.16"_s)
                .toDouble(),
            0.15);
        EXPECT_EQ(value(daily, u"select min(Discontinued) from Products"_s).toInt(), -1);
        EXPECT_EQ(
            value(daily, u"select round(sum(UnitPrice), 2) from \"Order Details\""_s).toDouble(),
            56500.91);
        EXPECT_EQ(
            value(target + u"/master.mdb"_s, u"select DateCol from DateTest where IDCol = 3"_s),
            u"1899-01-01 00:00:00"_s);
        QFile report(target + u"/import-report.txt"_s);
        ASSERT_TRUE(report.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(report.readAll());
        EXPECT_TRUE(text.contains(u"  Umsätze: 830 rows, 830 in the source: agrees"_s))
            << qPrintable(text);
        EXPECT_TRUE(text.contains(u"master.mdb has no table acctinfo"_s));
        EXPECT_TRUE(run.out.contains(u"warning: config.mdb is not there: Tallic cannot start"_s));
    }
}

// A club with a day's worth of chits, to copy, back up and restore.
QString busyClub(const QString &folder, int chits)
{
    EXPECT_EQ(club({ u"new"_s, folder }).code, 0);
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"fill"_s);
    db.setDatabaseName(folder + u"/daily.mdb"_s);
    EXPECT_TRUE(db.open());
    QSqlQuery(u"begin"_s, db);
    QSqlQuery insert(db);
    insert.prepare(
        u"insert into ardaily (arglacct, tallicnum, architdate, armember, artotal, armemo) values (4100, ?, 20240312, ?, ?, ?)"_s);
    for (int i = 0; i < chits; ++i) {
        insert.addBindValue(QString::number(i));
        insert.addBindValue(1000 + i % 500 + (i % 3) * 0.01);
        insert.addBindValue(i * 0.25);
        insert.addBindValue(i % 7 ? QVariant(u"Übung %1"_s.arg(i)) : QVariant());
        insert.exec();
    }
    QSqlQuery(u"commit"_s, db);
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"fill"_s);
    return folder;
}

TEST_F(ClubTest, CopiesBackupsAndRestoresAreCheckedAndRefuseWhatTheyMustNot)
{
    const QString from = busyClub(path(u"from"_s), 3000);
    const QString backup = path(u"club.tallic-backup"_s);
    struct Step
    {
        QStringList arguments;
        int code;
        QString said;
    };
    const Step steps[] = {
        { { u"copy"_s, from, path(u"to"_s) }, 0, u"13 tables, 3004 rows into "_s },
        { { u"copy"_s, from, path(u"to"_s) }, 1, u"already holds config.mdb"_s },
        { { u"copy"_s, from, path(u"to"_s), u"--replace"_s }, 0, u"A backup of what"_s },
        { { u"backup"_s, from, backup }, 0, u"backed up into"_s },
        { { u"restore"_s, backup, path(u"restored"_s) }, 0, u"8 databases of"_s },
        { { u"check"_s, path(u"restored"_s) }, 1, u"ar-account (the A/R account) is not set"_s },
    };
    for (const Step &step : steps) {
        const Ran run = club(step.arguments);
        EXPECT_EQ(run.code, step.code) << qPrintable(step.arguments.join(u' ') + u'\n' + run.out);
        EXPECT_TRUE(run.out.contains(step.said))
            << qPrintable(step.said + u"\nnot in\n"_s + run.out);
    }
    for (const QString &copy : { path(u"to"_s), path(u"restored"_s) })
        EXPECT_EQ(
            value(
                copy + u"/daily.mdb"_s,
                u"select count(*) || ' ' || total(armember) || ' ' || total(length(armemo)) from ardaily"_s),
            value(
                from + u"/daily.mdb"_s,
                u"select count(*) || ' ' || total(armember) || ' ' || total(length(armemo)) from ardaily"_s));
    EXPECT_EQ(QDir(path(u"to"_s)).entryList({ u"before-copy-*.tallic-backup"_s }).size(), 1);

    // A workstation keying on the folder stops a restore; a damaged backup restores nothing.
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"staff"_s);
    db.setDatabaseName(path(u"restored/user.mdb"_s));
    ASSERT_TRUE(db.open());
    QSqlQuery(u"insert into staff (username, location) values ('JONES', 'A/R Chit')"_s, db);
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"staff"_s);
    const QStringList before = listing(path(u"restored"_s));
    Ran run = club({ u"restore"_s, backup, path(u"restored"_s) });
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.out.contains(u"JONES is keying chits"_s)) << qPrintable(run.out);
    QFile file(backup);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    struct Damage
    {
        qsizetype at; // from the end when negative
        QByteArray bytes;
        QString said;
    };
    const Damage damages[] = {
        { 0, "NOT A", u"is not a Tallic backup"_s },
        { 4096 + 200, "damage", u"config.mdb is not what was backed up"_s },
        { -25, "{{{", u"its manifest cannot be read"_s },
        { -10, "x", u"is cut short"_s },
        { whole.size() / 2, {}, u"is cut short"_s }, // the rest lost
    };
    for (const Damage &damage : damages) {
        const qsizetype at = damage.at < 0 ? whole.size() + damage.at : damage.at;
        QByteArray bytes = damage.bytes.isEmpty()
            ? whole.left(at)
            : whole.left(at) + damage.bytes + whole.mid(at + damage.bytes.size());
        const QString damaged = path(u"damaged.tallic-backup"_s);
        QFile out(damaged);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        run = club({ u"restore"_s, damaged, path(u"restored"_s), u"--force"_s });
        EXPECT_EQ(run.code, 1) << damage.at;
        EXPECT_TRUE(run.out.contains(damage.said))
            << qPrintable(damage.said + u"\nnot in\n"_s + run.out);
        EXPECT_EQ(listing(path(u"restored"_s)), before);
    }
}

// A command killed at any moment leaves its target as it was; the next one in the folder
// clears what it left.
TEST_F(ClubTest, AKilledCommandLeavesItsTargetAsItWas)
{
    SKIP_WITHOUT_LEGACY();
    const QString from = busyClub(path(u"from"_s), 60000);
    const QString backup = path(u"club.tallic-backup"_s);
    ASSERT_EQ(club({ u"backup"_s, from, backup }).code, 0);
    const QString old = path(u"old"_s);
    QDir().mkpath(old);
    QFile::copy(Legacy + u"/nwind.mdb"_s, old + u"/daily.mdb"_s);
    const QString restored = busyClub(path(u"restored"_s), 10);
    const QStringList commands[] = {
        { u"import-legacy"_s, old, path(u"imported"_s) },
        { u"copy"_s, from, path(u"copied"_s) },
        { u"restore"_s, backup, restored },
    };
    for (const QStringList &command : commands) {
        const QString target = command.at(2);
        QDir().mkpath(target);
        const QStringList before = listing(target);
        for (int delay : { 30, 120, 300 }) {
            QProcess process;
            process.start(QStringLiteral(TALLIC_CLUB), command);
            ASSERT_TRUE(process.waitForStarted());
            // One that ends first has done all its work: the next one checks that.
            if (process.waitForFinished(delay))
                break;
            process.kill();
            process.waitForFinished();
            // Killed once every file was complete, it had only the move into place left,
            // which the next command in the folder finishes (or had even said it was done).
            const QStringList staged = QDir(target).entryList(
                { u".tallic-club-*"_s }, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
            if (process.readAll().contains(": done:")
                || (!staged.isEmpty()
                    && QFile::exists(target + u'/' + staged.first() + u"/COMPLETE"_s)))
                break;
            QStringList after = listing(target);
            after.removeIf([](const QString &f) { return f.startsWith(u".tallic-club-"_s); });
            EXPECT_EQ(after, before)
                << qPrintable(command.first()) << " killed after " << delay << " ms";
        }
        // The next command clears what the killed ones left, and does the work.
        const Ran run = club(
            command.first() == u"restore"_s ? command + QStringList { u"--force"_s } : command);
        EXPECT_EQ(run.code, 0) << qPrintable(run.out);
        EXPECT_TRUE(
            QDir(target).entryList({ u".tallic-club-*"_s }, QDir::Dirs | QDir::Hidden).isEmpty());
    }
    EXPECT_EQ(value(restored + u"/daily.mdb"_s, u"select count(*) from ardaily"_s).toInt(), 60000);
}

// Files to the server and back give the same rows, counts and sums.
TEST(ClubServerTest, FilesToTheServerAndBackGiveTheSameRows)
{
    if (!onServer())
        GTEST_SKIP() << "needs the test server (the postgres. run)";
    QTemporaryDir dir;
    const QString from = busyClub(dir.filePath(u"from"_s), 5000);
    // A table of the club's own beside the suite's, of what a copy must carry as it is.
    const struct
    {
        QVariant text, bytes, number, real;
    } odd[] = {
        { u"tab\tnew\nline\rend"_s, QByteArray("\x00\x01\\\"'", 5), 0, 0.1 + 0.2 },
        { u"back\\slash \\\\ \\x41"_s, QByteArray("\\x41"), -1, 1e-300 },
        { u"\"quoted\" 'single' \"\""_s, QByteArray(), Q_INT64_C(9007199254740993), -1e300 },
        { u"(a,b) {c} NULL  "_s, QVariant(QMetaType::fromType<QByteArray>()), QVariant(), -0.5 },
        { u""_s, QByteArray("{}()"), 1, QVariant() },
        { QVariant(QMetaType::fromType<QString>()), QByteArray("\xff\xfe"), 2, 123456.789 },
        { u"Übung ß € \U0001F600 Océ"_s, QByteArray(1, '\\'), 3, 4100 },
        // What a server's copy reads as NULL, and as the end of its rows.
        { u"\\N"_s, QByteArray("\\N"), -1, 0.18 },
        { u"\\.\n\\.\n"_s, QByteArray("\t\n\r"), 0, double(0.18f) },
    };
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"odd"_s);
        db.setDatabaseName(from + u"/daily.mdb"_s);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(u"create table odd (t TEXT, b BLOB, n INTEGER, r REAL)"_s));
        ASSERT_TRUE(query.prepare(u"insert into odd values (?, ?, ?, ?)"_s));
        for (const auto &row : odd) {
            for (const QVariant &v : { row.text, row.bytes, row.number, row.real })
                query.addBindValue(v);
            ASSERT_TRUE(query.exec()) << qPrintable(query.lastError().text());
        }
    }
    QSqlDatabase::removeDatabase(u"odd"_s);
    // Each harness makes a database of its own on the server and names it in tallic.ini.
    Harness h, h2;
    const QString server = dir.filePath(u"server"_s), server2 = dir.filePath(u"server2"_s);
    for (const auto &[harness, folder] : { std::pair(&h, server), std::pair(&h2, server2) }) {
        QFile ini(harness->dataDir() + u"/tallic.ini"_s);
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        QDir().mkpath(folder);
        write(folder + u"/tallic.ini"_s, ini.readAll());
    }
    // The rows go by the server's copy (from files, between servers, to files), and again
    // by statements (TALLIC_CLUB_NO_COPY); a row the server refuses stops the copy, and the
    // server keeps what it held.
    const QString back = dir.filePath(u"back"_s), statements = dir.filePath(u"statements"_s);
    const QString refused = busyClub(dir.filePath(u"refused"_s), 10);
    value(refused + u"/daily.mdb"_s,
          u"insert into ardaily (tallicnum, armember) values ('X', 'four')"_s);
    const struct Step
    {
        QStringList arguments;
        int code;
        QString said;
        bool byStatements = false;
    } steps[] = {
        { { u"new"_s, server, u"--postgres"_s }, 1, u"already holds"_s },
        { { u"copy"_s, from, server }, 1, u"already holds"_s },
        { { u"copy"_s, from, server, u"--replace"_s }, 0, u"into the server's database"_s, true },
        { { u"copy"_s, server, statements }, 0, u"each checked against its source"_s, true },
        { { u"copy"_s, from, server, u"--replace"_s }, 0, u"into the server's database"_s },
        { { u"copy"_s, server, server2, u"--replace"_s }, 0, u"each checked against its"_s },
        { { u"copy"_s, server2, back }, 0, u"each checked against its source"_s },
        { { u"backup"_s, server, dir.filePath(u"server.tallic-backup"_s) }, 0, u"backed up"_s },
        { { u"restore"_s, dir.filePath(u"server.tallic-backup"_s), server }, 0, u"restored"_s },
        { { u"settings"_s, server, u"ar-month=4"_s }, 0, u"ar-month = 4"_s },
        { { u"copy"_s, refused, server, u"--replace"_s },
          1,
          u"invalid input syntax for type double precision: \"four\""_s },
    };
    for (const Step &step : steps) {
        if (step.byStatements)
            qputenv("TALLIC_CLUB_NO_COPY", "1");
        const Ran run = club(step.arguments);
        qunsetenv("TALLIC_CLUB_NO_COPY");
        EXPECT_EQ(run.code, step.code) << qPrintable(step.arguments.join(u' ') + u'\n' + run.out);
        EXPECT_TRUE(run.out.contains(step.said))
            << qPrintable(step.said + u"\nnot in\n"_s + run.out);
    }
    const QString figures
        = u"select count(*) || ' ' || total(armember) || ' ' || total(artotal) || ' ' || total(length(armemo)) from ardaily"_s;
    for (const QString &copy : { back, statements }) {
        EXPECT_EQ(value(copy + u"/daily.mdb"_s, figures), value(from + u"/daily.mdb"_s, figures));
        // Every value back as it was: NULL as NULL, an empty text as empty, each double exact.
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"both"_s);
        db.setDatabaseName(copy + u"/daily.mdb"_s);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(u"attach '%1' as source"_s.arg(from + u"/daily.mdb"_s)));
        ASSERT_TRUE(
            query.exec(
                u"select (select count(*) from odd), count(*) from source.odd o "
                u"where exists (select 1 from odd b where b.t is o.t collate binary and b.b is "
                u"o.b and b.n is o.n and b.r is o.r)"_s)
            && query.next());
        EXPECT_EQ(query.value(0).toInt(), int(std::size(odd))) << qPrintable(copy);
        EXPECT_EQ(query.value(1).toInt(), int(std::size(odd))) << qPrintable(copy);
        query = QSqlQuery();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"both"_s);
    }
    EXPECT_EQ(h.rows(u"config"_s, u"select armonth from ar"_s).value(0).value(0).toInt(), 4);

    // Old Jet files straight onto a server that holds none of the suite's databases yet.
    if (!QFile::exists(Legacy + u"/nwind.mdb"_s))
        return;
    Harness h3;
    for (const QString &db : { u"daily"_s, u"config"_s, u"ar"_s, u"gl"_s, u"master"_s, u"master2"_s,
                               u"emp"_s, u"user"_s })
        h3.removeDatabase(db);
    const QString old = dir.filePath(u"old"_s), server3 = dir.filePath(u"server3"_s);
    QDir().mkpath(old);
    QDir().mkpath(server3);
    QFile::copy(Legacy + u"/nwind.mdb"_s, old + u"/DAILY.MDB"_s);
    QFile::copy(Legacy + u"/DateTestDatabase.mdb"_s, old + u"/master.mdb"_s);
    QFile::copy(h3.dataDir() + u"/tallic.ini"_s, server3 + u"/tallic.ini"_s);
    const Ran imported = club({ u"import-legacy"_s, old, server3 });
    EXPECT_EQ(imported.code, 0) << qPrintable(imported.out);
    EXPECT_TRUE(imported.out.contains(u"10 tables, 4038 rows"_s)) << qPrintable(imported.out);
    // A server keeps its names in lower case, as it folds those of unquoted statements.
    const struct
    {
        QString db, sql;
        QVariant expected;
    } found[] = {
        { u"daily"_s, u"select count(*) from \"umsätze\""_s, 830 },
        { u"daily"_s, u"select count(*) from customers where companyname = 'Comércio Mineiro'"_s,
          1 },
        { u"daily"_s, u"select max(discount) from \"order details\" where discount < 0.16"_s,
          0.15 },
        { u"daily"_s, u"select min(discontinued) from products"_s, -1 },
        { u"daily"_s, u"select round(sum(unitprice)::numeric, 2)::float8 from \"order details\""_s,
          56500.91 },
        { u"master"_s, u"select datecol from datetest where idcol = 3"_s,
          u"1899-01-01 00:00:00"_s },
    };
    for (const auto &f : found)
        EXPECT_EQ(h3.rows(f.db, f.sql).value(0).value(0).toString(), f.expected.toString())
            << qPrintable(f.sql);
}

} // namespace

namespace {

// A folder of a newer layout is not touched; an older one is brought up to date after a
// copy of it, on files and on the server alike: a column it lacks, the table of write keys
// that layout 2 added, and the index of chit numbers of layout 3.
TEST(LayoutTest, TheStartRefusesANewerLayoutAndBringsAnOlderOneUpToDate)
{
    using tallic::SuiteSchemaVersion;
    const QString newer = QString::number(SuiteSchemaVersion + 1);
    struct Case
    {
        QString db;
        QStringList onFiles, onServer;
        bool starts;
        QString said; // in the refusal; for a start, what the database holds again (0)
        QString saidOnServer = {};
    };
    const Case cases[] = {
        { u"master2"_s,
          { u"pragma user_version = "_s + newer },
          { u"update tallic.schema_version set version = "_s + newer },
          false,
          u"written by a newer Tallic (layout "_s + newer + u')' },
        { u"master2"_s,
          { u"pragma user_version = 0"_s, u"alter table ar drop column balfwd"_s },
          { u"update tallic.schema_version set version = 0"_s,
            u"alter table ar drop column balfwd"_s },
          true,
          u"select count(balfwd) from ar"_s },
        { u"daily"_s,
          { u"pragma user_version = 1"_s, u"drop table tallic_writes"_s },
          { u"update tallic.schema_version set version = 1"_s, u"drop table tallic_writes"_s },
          true,
          u"select count(writekey) from tallic_writes"_s },
        { u"daily"_s,
          { u"pragma user_version = 2"_s, u"drop index ardaily_chitnumber"_s },
          { u"update tallic.schema_version set version = 2"_s, u"drop index ardaily_chitnumber"_s },
          true,
          u"select count(*) - 1 from sqlite_master where name = 'ardaily_chitnumber'"_s,
          u"select count(*) - 1 from pg_indexes where indexname = 'ardaily_chitnumber'"_s },
    };
    for (const Case &c : cases) {
        Harness h;
        for (const QString &sql : h.onServer() ? c.onServer : c.onFiles)
            h.exec(c.db, sql);
        tallic::testkit::prepareMarch2024(h);
        h.queuePickedDates({ u"20240312"_s });
        h.start();
        EXPECT_EQ(h.running(), c.starts) << qPrintable(h.dialogTitles().join(u", "_s));
        if (!c.starts) {
            ASSERT_EQ(h.dialogs().size(), 1);
            EXPECT_TRUE(h.dialogs().at(0).text.contains(c.said))
                << qPrintable(h.dialogs().at(0).text);
            continue;
        }
        const QString &said = h.onServer() && !c.saidOnServer.isEmpty() ? c.saidOnServer : c.said;
        EXPECT_EQ(h.rows(c.db, said).value(0).value(0).toInt(), 0) << qPrintable(said);
        const QString copies = u"%1_before_layout_%2_%"_s.arg(c.db).arg(SuiteSchemaVersion);
        if (h.onServer())
            EXPECT_EQ(
                h.rows(c.db,
                       u"select count(*) from pg_namespace where nspname like '"_s + copies + u'\'')
                    .value(0)
                    .value(0)
                    .toInt(),
                1);
        else
            EXPECT_EQ(
                QDir(h.dataDir())
                    .entryList({ u"before-layout-%1-*"_s.arg(SuiteSchemaVersion) }, QDir::Dirs)
                    .size(),
                1);
    }
}

} // namespace
