// tallic-club as the person who sets up an office uses it: a new club, its settings, its
// lists and old files, copies, backups, and the first chit keyed on what it made.
#include "clubdb.h"
#include "store/folderlock.h"
#include "store/schema.h"
#include "suite/sharedstate.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QCoreApplication>
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

// The files of the folder with their sizes; a log's index, a log that holds nothing and the
// folder's lock are left out: whoever opens a file or the folder leaves them, and they say
// nothing of its rows.
QStringList listing(const QString &folder)
{
    QStringList files;
    for (const QFileInfo &info : QDir(folder).entryInfoList(
             QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString name = info.fileName();
        if (name.endsWith(u"-shm"_s) || name == u"tallic.lock"_s
            || (name.endsWith(u"-wal"_s) && info.size() == 0))
            continue;
        files << name + u' ' + QString::number(info.isDir() ? 0 : info.size());
    }
    return files;
}

// What an import of the sample Jet files holds, on files and on a server alike (which keeps
// its names in lower case, as it folds those of unquoted statements): a text in its code
// page, a Single as it shows, a sum to the cent, a date before 1900.
const std::tuple<QString, QString, QString> JetRows[] = {
    { u"daily"_s, u"select count(*) from \"umsätze\""_s, u"830"_s },
    { u"daily"_s, u"select count(*) from customers where companyname = 'Comércio Mineiro'"_s,
      u"1"_s },
    { u"daily"_s, u"select max(discount) from \"order details\" where discount < 0.16"_s,
      u"0.15"_s },
    { u"daily"_s, u"select min(discontinued) from products"_s, u"-1"_s },
    { u"daily"_s,
      u"select cast(round(cast(sum(unitprice) as numeric), 2) as float8) from \"order details\""_s,
      u"56500.91"_s },
    { u"master"_s, u"select datecol from datetest where idcol = 3"_s, u"1899-01-01 00:00:00"_s },
};

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
          "glacctnum,glacctname,gllevel,arsrvchg,arsalestax,glaccttype,arcategory\n"
          "1200,Accounts Receivable,1,0,0,A,\n3900,Current Profit,1,0,0,Q,\n"
          "4100,Food,1,0.18,0.06,I,FOOD\n");
    write(path(u"bad.csv"_s),
          "acctnumber,lname,classcode\n1003,A,REG\n99999.999,B,REG\n1004,C,NONE\n"
          "0,D,NONE\n1003,E,REG\n,F,REG\n1006,H\n1005,\"G,REG\n");
    write(path(u"more.csv"_s),
          "acctnumber,lname,classcode,balfwd\n1003,J,REG,\n1007,K,REG,-0.001\n");
    write(path(u"cases.csv"_s), "classcode\nVIP\nvip\n");
    const Step steps[] = {
        { { u"new"_s, folder }, 1, u"already holds config.mdb"_s },
        // Nothing starts before the two accounts are set; every bad value is told at once.
        { { u"settings"_s, folder, u"ar-month=13"_s, u"armonth=3"_s, u"sales-tax-rate=x"_s },
          1,
          u"a whole number from 1 to 12\narmonth: no such setting\nsales-tax-rate=x: sales tax\n"
          u"3 values refused"_s },
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
        { { u"import-csv"_s, folder, u"members"_s, path(u"bad.csv"_s), u"members"_s,
            path(u"more.csv"_s), u"classes"_s, path(u"cases.csv"_s) },
          1,
          u"bad.csv, line 3: acctnumber \"99999.999\" is not a member number from 1 to 99999.99\n"
          u"bad.csv, line 5: acctnumber \"0\" is not a member number from 1 to 99999.99\n"
          u"bad.csv, line 6: member 1003 is on line 2 too\n"
          u"bad.csv, line 7: acctnumber is empty\n"
          u"bad.csv, line 8: 2 fields where the first line names 3\n"
          u"bad.csv, line 9: a quoted field is not closed before the end of the file\n"
          u"bad.csv, line 4: the class NONE is neither in the classcode table nor in this import\n"
          u"bad.csv, line 5: the class NONE\n"
          u"more.csv, line 2: member 1003 is on line 2 of bad.csv too\n"
          u"more.csv, line 3: balfwd \"-0.001\" has more than two decimals\n"
          u"cases.csv, line 3: class vip is on line 2 too\n"
          u"10 bad lines; nothing was written"_s },
        { { u"import-csv"_s, folder, u"classes"_s, path(u"classes.csv"_s) },
          1,
          u"class REG is already in MASTER.MDB (--update changes it)"_s },
        { { u"import-csv"_s, folder, u"classes"_s, path(u"classes.csv"_s), u"--update"_s },
          0,
          u"classes (classes.csv): 0 added, 2 changed"_s },
        { { u"check"_s, folder }, 0, u"gl.mdb: 1 table\nare in order"_s },
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
    EXPECT_EQ(value(folder + u"/ar.mdb"_s, u"select arcategory from ar0 where aracctnum = 4100"_s),
              u"FOOD"_s);

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

    // A club that cannot post fails its check, each finding with what it breaks.
    club({ u"settings"_s, folder, u"ar-account=1300"_s });
    value(folder + u"/ar.mdb"_s, u"update ar0 set arsalestax = 6 where aracctnum = 4100"_s);
    value(folder + u"/gl.mdb"_s, u"update gl0 set gllevel = 2"_s);
    run = club({ u"check"_s, folder });
    EXPECT_EQ(run.code, 1);
    for (const QString &finding :
         { u"ar-account 1300 (the A/R account) is not a G/L account"_s,
           u"no G/L account is of level 1, the level that marks a postable account: no chit"_s,
           u"account 4100 has a service-charge rate of 0.18 and a tax rate of 6, above 1"_s,
           u"3 findings"_s })
        EXPECT_TRUE(run.out.contains(finding)) << qPrintable(finding + u"\nnot in\n"_s + run.out);
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
        // Cut at a page: the list of tables, or a table's rows, end early.
        { u"tables missing"_s, jet.left(586 * 2048), 1,
          u"its list of tables is damaged or cut short: 88 entries could be read of the 106"_s },
        { u"rows missing"_s, jet.left(762 * 2048), 1,
          u"Umsätze: 83 rows could be read of the 830 it holds"_s },
        { u"pages zeroed"_s, jet.left(776 * 2048) + QByteArray(4 * 2048, 0) + jet.mid(780 * 2048),
          1, u"Umsätze: 764 rows could be read of the 830 it holds"_s },
        { u"whole"_s, jet, 0,
          u"10 tables, 4038 rows into %1, each checked against its source (%1/import-report.txt); "
          u"made empty: config.mdb, ar.mdb, gl.mdb, master2.mdb, emp.mdb, user.mdb"_s.arg(
              path(u"whole-new"_s)) },
    };
    for (const Case &c : cases) {
        const QString old = path(c.name + u"-old"_s), target = path(c.name + u"-new"_s);
        QDir().mkpath(old);
        write(old + u"/DAILY.MDB"_s, c.daily);
        QFile::copy(Legacy + u"/DateTestDatabase.mdb"_s, old + u"/master.mdb"_s);
        const Ran run = club({ u"import-legacy"_s, old, target });
        EXPECT_EQ(run.code, c.code) << qPrintable(c.name + u'\n' + run.out);
        EXPECT_TRUE(run.out.contains(c.said)) << qPrintable(c.said + u"\nnot in\n"_s + run.out);
        // The library's own words are not the operator's.
        EXPECT_FALSE(run.out.contains(u"\n\n"_s) || run.out.contains(u"00 00"_s)
                     || run.out.contains(u"EOF"_s))
            << qPrintable(run.out);
        if (c.code != 0) {
            EXPECT_FALSE(QFileInfo::exists(target)) << qPrintable(c.name);
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
        for (const auto &[db, sql, expected] : JetRows)
            EXPECT_EQ(value(target + u'/' + db + u".mdb"_s, sql).toString(), expected)
                << qPrintable(sql);
        QFile report(target + u"/import-report.txt"_s);
        ASSERT_TRUE(report.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(report.readAll());
        EXPECT_TRUE(text.contains(u"  Umsätze: 830 rows, 830 in the source: agrees"_s))
            << qPrintable(text);
        EXPECT_TRUE(text.contains(u"master.mdb has no table acctinfo"_s));
        // The databases made empty complete a folder Tallic starts on, once it is set.
        club({ u"settings"_s, target, u"ar-account=1200"_s, u"profit-account=3900"_s });
        Harness h(target);
        h.queuePickedDates({ QDate::currentDate().toString(u"yyyyMMdd"_s) });
        h.start();
        EXPECT_TRUE(h.running()) << qPrintable(h.dialogs().value(0).text);
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
    // A folder a group works in shares its files with the group, and never with everyone.
    QDir().mkpath(path(u"shared"_s));
    QFile::setPermissions(path(u"shared"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                              | QFile::WriteGroup | QFile::ExeGroup);
    const Step steps[] = {
        { { u"copy"_s, from, path(u"to"_s) }, 0, u"13 tables, 3004 rows into "_s },
        { { u"copy"_s, from, path(u"to"_s) }, 1, u"already holds config.mdb"_s },
        { { u"copy"_s, from, path(u"to"_s), u"--replace"_s }, 0, u"A backup of what"_s },
        { { u"backup"_s, from, backup }, 0, u"backed up into"_s },
        { { u"backup"_s, from, backup }, 1, u"is there already (--overwrite replaces it)"_s },
        { { u"backup"_s, from, backup, u"--overwrite"_s }, 0, u"backed up into"_s },
        { { u"backup"_s, from, path(u"shared/club.tallic-backup"_s) }, 0, u"backed up into"_s },
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
    const auto owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    for (const QString &file : { backup, path(u"to/daily.mdb"_s), path(u"to/import-report.txt"_s),
                                 path(u"restored/user.mdb"_s) })
        EXPECT_EQ(QFileInfo(file).permissions(), owner) << qPrintable(file);
    EXPECT_EQ(QFileInfo(path(u"shared/club.tallic-backup"_s)).permissions(),
              owner | QFile::ReadGroup | QFile::WriteGroup);

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
        { whole.indexOf("\"schemaVersion\":") + 16, "9", u"a newer Tallic (layout 9;"_s },
        // A row count changed in the manifest alone: the databases do not hold it.
        { whole.indexOf("\"rows\":3000") + 10, "1", u"do not hold the rows of the manifest"_s },
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
        { u"backup"_s, from, path(u"backups/club.tallic-backup"_s), u"--overwrite"_s },
    };
    const auto leftovers = [](const QString &folder) {
        return QDir(folder).entryList(
            { u".tallic-*"_s }, QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    for (const QStringList &command : commands) {
        const QString target = QFileInfo(command.at(2)).suffix().isEmpty()
            ? command.at(2)
            : QFileInfo(command.at(2)).path();
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
            after.removeIf([](const QString &f) { return f.startsWith(u".tallic-"_s); });
            EXPECT_EQ(after, before)
                << qPrintable(command.first()) << " killed after " << delay << " ms";
        }
        // The next command clears what the killed ones left, says so, and does the work.
        const bool left = !leftovers(target).isEmpty();
        const Ran run = club(
            command.first() == u"restore"_s ? command + QStringList { u"--force"_s } : command);
        EXPECT_EQ(run.code, 0) << qPrintable(run.out);
        EXPECT_EQ(leftovers(target), QStringList());
        EXPECT_TRUE(!left || run.out.contains(u"stopped"_s)) << qPrintable(run.out);
    }
    EXPECT_EQ(value(restored + u"/daily.mdb"_s, u"select count(*) from ardaily"_s).toInt(), 60000);
}

// A copy is held to its source's sums in cents: an amount a cent off is found however large
// the sum, while the same amounts added in another order agree.
TEST(CopyCheckTest, AmountsAgreeToTheCentWhateverTheirSum)
{
    using namespace tallic::club;
    const TableDef table { u"ardaily"_s, { { u"artotal"_s, tallic::ColumnKind::Real } }, {} };
    const auto figures = [](const QList<double> &amounts) {
        Figures f;
        for (const double amount : amounts)
            f.add({ amount });
        return f;
    };
    const Figures source = figures({ 99999999.99, 0.1, 0.2, 12345678.91 });
    const std::pair<QList<double>, QStringList> cases[] = {
        { { 12345678.91, 0.2, 0.1, 99999999.99 }, {} },
        { { 99999999.98, 0.1, 0.2, 12345678.91 },
          { u"artotal: sum 112345679.19, 112345679.20 in the source"_s } },
    };
    for (const auto &[target, differences] : cases)
        EXPECT_EQ(compareFigures(table, source, figures(target)), differences);
}

// Whoever runs on a data folder holds it: what replaces or reshapes its databases is refused
// while any does, naming them, and nothing writes a club of a newer Tallic.
TEST_F(ClubTest, WhoeverRunsOnTheFolderHoldsIt)
{
    using tallic::FolderLock;
    const QString folder = path(u"club"_s), backup = path(u"club.tallic-backup"_s);
    QDir().mkpath(folder);
    const auto held = [&](const QString &who, FolderLock::Use use) {
        return std::move(*FolderLock::take(tallic::dataSourceOf(folder), who, use));
    };
    {
        Harness h(folder);
        h.queuePickedDates({ QDate::currentDate().toString(u"yyyyMMdd"_s) });
        h.start();
        ASSERT_TRUE(h.running()) << qPrintable(h.dialogs().value(0).text);
        EXPECT_EQ(club({ u"backup"_s, folder, backup }).code, 0);
        ASSERT_EQ(club({ u"new"_s, path(u"other"_s) }).code, 0);
        for (const QStringList &command :
             { QStringList { u"restore"_s, backup, folder, u"--force"_s },
               { u"copy"_s, path(u"other"_s), folder, u"--replace"_s },
               { u"import-legacy"_s, path(u"old"_s), folder } }) {
            const Ran run = club(command);
            EXPECT_EQ(run.code, 1);
            EXPECT_TRUE(run.out.contains(
                u"is in use by Tallic, process %1, "_s.arg(QCoreApplication::applicationPid())))
                << qPrintable(run.out);
        }
    }
    EXPECT_EQ(club({ u"restore"_s, backup, folder, u"--force"_s }).code, 0);
    // Tallic waits for a restore, and an older layout for every other program to end.
    for (const auto &[use, said] : { std::pair(FolderLock::Use::Alone, u"tallic-club restore"_s),
                                     std::pair(FolderLock::Use::Shared, u"older layout (1)"_s) }) {
        for (const QString &db : QDir(folder).entryList({ u"*.mdb"_s }))
            value(folder + u'/' + db, u"pragma user_version = 1"_s);
        const auto lock = held(u"tallic-club restore"_s, use);
        Harness h(folder);
        h.start();
        EXPECT_FALSE(h.running());
        ASSERT_EQ(h.dialogs().size(), 1);
        EXPECT_TRUE(h.dialogs().at(0).text.contains(said)) << qPrintable(h.dialogs().at(0).text);
    }
    // A copy keeps the layout; a newer Tallic's club is refused by every command.
    ASSERT_EQ(club({ u"copy"_s, folder, path(u"copy"_s) }).code, 0);
    EXPECT_EQ(value(path(u"copy/daily.mdb"_s), u"pragma user_version"_s).toInt(), 1);
    for (const QString &db : QDir(folder).entryList({ u"*.mdb"_s }))
        value(folder + u'/' + db, u"pragma user_version = 99"_s);
    write(path(u"c.csv"_s), "classcode\nX\n");
    for (const QStringList &command : { QStringList { u"settings"_s, folder, u"ar-month=4"_s },
                                        { u"import-csv"_s, folder, u"classes"_s, path(u"c.csv"_s) },
                                        { u"copy"_s, folder, path(u"copy2"_s) },
                                        { u"backup"_s, folder, path(u"b2"_s) },
                                        { u"check"_s, folder },
                                        { u"restore"_s, backup, folder, u"--force"_s } }) {
        const Ran run = club(command);
        EXPECT_EQ(run.code, 1);
        EXPECT_TRUE(run.out.contains(u"was written by a newer Tallic (layout 99"_s))
            << qPrintable(run.out);
    }
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
        // Half cents, which the engines' sums in cents must round alike.
        { u"1.005"_s, QByteArray(), 4, 1.005 },
        { u"-2.675"_s, QByteArray(), 5, -2.675 },
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
    // A workstation on the server holds it there: a restore is refused, naming it.
    {
        const auto held = tallic::FolderLock::take(tallic::dataSourceOf(server), u"Tallic"_s,
                                                   tallic::FolderLock::Use::Shared);
        const Ran run = club({ u"restore"_s, dir.filePath(u"server.tallic-backup"_s), server });
        EXPECT_TRUE(run.code == 1 && run.out.contains(u"is in use by Tallic, process"_s))
            << qPrintable(run.out);
    }

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
    for (const auto &[db, sql, expected] : JetRows)
        EXPECT_EQ(h3.rows(db, sql).value(0).value(0).toString(), expected) << qPrintable(sql);
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
