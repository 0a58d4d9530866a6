#include "suite/sharedstate.h"
#include "suite/database.h"
#include "testkit/harness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>

#include <memory>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::DialogIcon;
using tallic::testkit::Harness;

namespace {

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

TEST_F(DatabaseTest, AKeyThatMatchesNoRowGivesQuitAndOneEmptyElementPerColumn)
{
    state().RowValues = { 1, 2, 3 };
    QString db = u"daily"_s;
    DbRead(db, NoChit);
    EXPECT_EQ(state().MsgText, u"QUIT"_s);
    EXPECT_EQ(state().RowLastIndex, 17);
    ASSERT_EQ(state().RowValues.size(), 18);
    for (const QVariant &value : state().RowValues)
        EXPECT_FALSE(value.isValid());
    EXPECT_EQ(state().RowNulls, QList<bool>(18, false));
    EXPECT_EQ(db, u"DAILY.MDB"_s);
    EXPECT_EQ(state().ErrNumber, 0);
    EXPECT_TRUE(h.dialogs().isEmpty());
}

TEST_F(DatabaseTest, TheFirstRowIsReadWithNullAsZero)
{
    h.exec(u"daily"_s,
           u"insert into ardaily (arglacct, tallicnum, armember, armemo) "
           u"values (4200, 'A7', 1002, null), (4100, 'A7', 1001, 'second')"_s);
    QString db = u"daily"_s;
    state().MsgText = u"stale"_s;
    DbRead(db, u"select * from ardaily where tallicnum = 'a7' order by arglacct desc"_s);
    ASSERT_EQ(state().MsgText, QString());
    const QVariantList &row = state().RowValues;
    ASSERT_EQ(row.size(), 18);
    EXPECT_EQ(row.at(0).toDouble(), 4200.0);
    EXPECT_EQ(row.at(1).toString(), u"A7"_s);
    EXPECT_EQ(row.at(3).toDouble(), 1002.0);
    for (int i : { 2, 16 }) {
        EXPECT_EQ(row.at(i).typeId(), QMetaType::Int) << i;
        EXPECT_EQ(row.at(i).toInt(), 0) << i;
        EXPECT_TRUE(state().RowNulls.at(i)) << i;
    }
    EXPECT_FALSE(state().RowNulls.at(0));
    EXPECT_FALSE(state().RowNulls.at(1));
}

TEST_F(DatabaseTest, EveryFormOfANameOpensTheSameFileAndIsWrittenBackInUpperCase)
{
    for (const QString &name : { u"ar"_s, u"ar.mdb"_s, u"AR"_s, u"Ar.Mdb"_s }) {
        QString db = name;
        DbRead(db, u"select * from ar0 where aracctnum = 4200"_s);
        EXPECT_EQ(db, u"AR.MDB"_s) << qPrintable(name);
        EXPECT_EQ(state().MsgText, QString()) << qPrintable(name);
        EXPECT_DOUBLE_EQ(state().RowValues.value(7).toDouble(), 0.15) << qPrintable(name);
        EXPECT_DOUBLE_EQ(state().RowValues.value(8).toDouble(), 0.06) << qPrintable(name);
    }
    // "ardaily.mdbx" does not end in .MDB, so the suffix is added after it.
    QString odd = u"daily.mdbx"_s;
    DbRead(odd, NoChit);
    EXPECT_EQ(odd, u"DAILY.MDBX.MDB"_s);
}

TEST_F(DatabaseTest, AFileNamedInAnotherCaseIsFound)
{
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
    ASSERT_TRUE(QFile::remove(path(u"daily.mdb"_s)));
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
        ASSERT_EQ(h.dialogs().size(), 1);
        EXPECT_EQ(h.dialogs().at(0).text, message);
        EXPECT_EQ(h.dialogs().at(0).title, u"Uh-oh..."_s);
        EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Information);
        EXPECT_EQ(state().MsgText, message);
        EXPECT_EQ(state().RowValues, QVariantList { u"kept"_s });
        EXPECT_EQ(state().RowLastIndex, 0);
        EXPECT_EQ(state().ErrNumber, 0);
    }
    // Neither routine makes the file.
    EXPECT_FALSE(QFile::exists(path(u"daily.mdb"_s)));
    EXPECT_FALSE(QFile::exists(path(u"DAILY.MDB"_s)));
}

TEST_F(DatabaseTest, AnEmptyNameOrStatementDoesNothing)
{
    struct Case
    {
        QString name, statement;
    };
    for (const Case &c : { Case { QString(), NoChit }, Case { u"daily"_s, QString() } }) {
        state().MsgText = u"before"_s;
        state().RowValues = { 5 };
        QString db = c.name;
        DbRead(db, c.statement);
        DbAddNewOn();
        DbWrite(db, c.statement);
        EXPECT_EQ(db, c.name);
        EXPECT_EQ(state().MsgText, u"before"_s);
        EXPECT_EQ(state().RowValues, QVariantList { 5 });
    }
    EXPECT_TRUE(h.dialogs().isEmpty());
    EXPECT_TRUE(chits(u"5"_s).isEmpty());
}

TEST_F(DatabaseTest, ANewRowTakesTheFilledPositionsAndLeavesTheOthersAtTheirInitialValue)
{
    postChit(u"K48213"_s, 25.5);
    EXPECT_TRUE(state().AddNewMode);
    DbAddNewOff();
    EXPECT_FALSE(state().AddNewMode);
    EXPECT_EQ(state().ErrNumber, 0);
    const QList<QVariantList> rows = chits(u"K48213"_s);
    ASSERT_EQ(rows.size(), 1);
    const QVariantList &row = rows.first();
    EXPECT_EQ(row.at(0).toDouble(), 4100.0);
    EXPECT_EQ(row.at(1).toString(), u"K48213"_s);
    EXPECT_EQ(row.at(2).toDouble(), 20240315.0);
    EXPECT_EQ(row.at(6).toDouble(), 25.5);
    EXPECT_EQ(row.at(14).toString(), u" "_s);
    EXPECT_EQ(row.at(15).toString(), u"JONES10:15:00"_s);
    EXPECT_EQ(row.at(17).toInt(), 9);
    for (int i : { 4, 5, 7, 16 })
        EXPECT_TRUE(row.at(i).isNull()) << i;

    // Rows of one chit number pile up; nothing is replaced.
    postChit(u"K48213"_s, 3);
    EXPECT_EQ(chits(u"K48213"_s).size(), 2);
}

TEST_F(DatabaseTest, AnUpdateWritesOnlyTheFilledPositionsOfTheSelectedRow)
{
    const QString before = u"select * from ar"_s;
    const QList<QVariantList> stored = h.rows(u"config"_s, before);
    QString db = u"config"_s;
    DbRead(db, u"select * from ar"_s);
    ASSERT_EQ(state().RowValues.size(), 49);
    QVariantList &row = state().RowValues;
    for (QVariant &value : row)
        value = QVariant();
    row[5] = QVariant(QMetaType::fromType<QString>()); // a null value counts as empty
    row[26] = u"G"_s;
    DbAddNewOff();
    DbWrite(db, u"select * from ar"_s);
    EXPECT_EQ(db, u"CONFIG.MDB"_s);
    EXPECT_EQ(state().ErrNumber, 0);

    QList<QVariantList> expected = stored;
    expected[0][26] = u"G"_s;
    EXPECT_EQ(h.rows(u"config"_s, before), expected);

    // The where clause picks the row.
    db = u"user"_s;
    DbRead(db, u"select * from staff where username = 'smith'"_s);
    state().RowValues[1] = u"Golf"_s;
    state().RowValues[2] = QString(); // the empty text, not Null
    DbWrite(db, u"select * from staff where username = 'smith'"_s);
    EXPECT_EQ(h.rows(u"user"_s, u"select username, location, work from staff order by username"_s),
              (QList<QVariantList> { { u"JONES"_s, u"A/R Master"_s, u""_s },
                                     { u"SMITH"_s, u"Golf"_s, u""_s } }));

    // No row selected: nothing is written and nobody is told.
    DbWrite(db, u"select * from staff where username = 'nobody'"_s);
    EXPECT_EQ(state().ErrNumber, 0);
    EXPECT_EQ(h.rows(u"user"_s, u"select count(*) from staff"_s).value(0).value(0).toInt(), 2);
}

TEST_F(DatabaseTest, BlankTextInTheEightyFirstColumnIsStoredAsZero)
{
    QStringList columns;
    for (int i = 0; i < 82; ++i)
        columns << u"c"_s + QString::number(i) + u" TEXT"_s;
    h.exec(u"daily"_s, u"create table wide ("_s + columns.join(u", "_s) + u')');
    QString db = u"daily"_s;
    DbRead(db, u"select * from wide"_s);
    ASSERT_EQ(state().RowValues.size(), 82);
    state().RowValues[0] = u"W1"_s;
    state().RowValues[79] = u"  "_s;
    state().RowValues[80] = u"  "_s;
    state().RowValues[81] = u"  "_s;
    DbAddNewOn();
    DbWrite(db, u"select * from wide where c0 = 'W1'"_s);
    EXPECT_EQ(state().RowValues.at(80), QVariant(u"0"_s));
    const QVariantList row = h.rows(u"daily"_s, u"select c79, c80, c81 from wide"_s).value(0);
    EXPECT_EQ(row, (QVariantList { u"  "_s, u"0"_s, u"  "_s }));
}

TEST_F(DatabaseTest, FailuresBeforeWritingArePassedOnAndFailuresWhileWritingAreQuiet)
{
    struct Case
    {
        bool write;
        QString statement;
        int number;
    };
    const Case cases[] = {
        { false, u"select * from nosuchtable"_s, 3078 },
        { false, u"select nosuchcolumn from ardaily"_s, 3265 },
        { false, u"selec * from ardaily"_s, 3001 },
        { true, u"select * from nosuchtable where x = 1"_s, 3078 },
        { true, u"select * from ardaily where nosuchcolumn = 1"_s, 3265 },
        { true, u"select tallicnum from ardaily"_s, 3001 },
    };
    for (const Case &c : cases) {
        state().RowValues = { u"kept"_s };
        QString db = u"daily"_s;
        DbAddNewOn();
        if (c.write)
            DbWrite(db, c.statement);
        else
            DbRead(db, c.statement);
        EXPECT_EQ(state().ErrNumber, c.number) << qPrintable(c.statement);
        EXPECT_FALSE(state().ErrDescription.isEmpty()) << qPrintable(c.statement);
        EXPECT_EQ(state().ErrLine, 0);
        EXPECT_EQ(state().RowValues, QVariantList { u"kept"_s }) << qPrintable(c.statement);
    }
    // A call that works clears the last failure.
    QString db = u"daily"_s;
    DbRead(db, NoChit);
    EXPECT_EQ(state().ErrNumber, 0);
    EXPECT_EQ(state().ErrDescription, QString());

    // A new A/R account whose number exists: the save fails, quietly.
    db = u"ar"_s;
    DbRead(db, u"select * from ar0 where aracctnum = 4100"_s);
    state().RowValues[1] = u"Copy"_s;
    DbAddNewOn();
    DbWrite(db, u"select * from ar0 where aracctnum = 4100"_s);
    EXPECT_EQ(state().ErrNumber, 0);
    EXPECT_TRUE(h.dialogs().isEmpty());
    EXPECT_EQ(h.rows(u"ar"_s, u"select aracctname from ar0 where aracctnum = 4100"_s),
              (QList<QVariantList> { { u"Food Sales"_s } }));
}

TEST_F(DatabaseTest, QuotedTextMatchesLiterally)
{
    const struct
    {
        QString text, quoted;
    } cases[] = {
        { u"O'BRIEN"_s, u"O''BRIEN"_s },
        { u"''"_s, u"''''"_s },
        { u"plain"_s, u"plain"_s },
        { QString(), QString() },
    };
    for (const auto &c : cases)
        EXPECT_EQ(sqlQuote(c.text), c.quoted);

    h.exec(u"user"_s, u"insert into staff (username, location) values ('O''BRIEN', 'Office')"_s);
    QString db = u"user"_s;
    DbRead(db, u"select * from staff where username = '"_s + sqlQuote(u"o'brien"_s) + u"'"_s);
    EXPECT_EQ(state().ErrNumber, 0);
    EXPECT_EQ(state().MsgText, QString());
    EXPECT_EQ(state().RowValues.value(1).toString(), u"Office"_s);
}

TEST_F(DatabaseTest, StatementsMayUseTheJetFunctionsAndCompareTextWithoutCase)
{
    h.exec(u"master"_s,
           u"insert into acctinfo (acctnumber, lname, fname, classcode) "
           u"values (2001, 'mcKay', null, 'soc'), (2001.5, 'mcKay', 'ann', 'soc')"_s);
    QString db = u"master"_s;
    DbRead(db,
           u"select ucase$(lname), ucase$(fname), fix(acctnumber), fix(-2.7), fix(7), "
           u"fix('3.9'), fix(null) from acctinfo where acctnumber = 2001"_s);
    ASSERT_EQ(state().ErrNumber, 0) << qPrintable(state().ErrDescription);
    const QVariantList &row = state().RowValues;
    EXPECT_EQ(row.at(0).toString(), u"MCKAY"_s);
    EXPECT_TRUE(state().RowNulls.at(1)); // Null stays Null
    EXPECT_EQ(row.at(2).toDouble(), 2001.0);
    EXPECT_EQ(row.at(3).toDouble(), -2.0);
    EXPECT_EQ(row.at(4).toLongLong(), 7);
    EXPECT_EQ(row.at(5).toDouble(), 3.0);
    EXPECT_TRUE(state().RowNulls.at(6));

    // Main accounts only, and the class code in any case.
    SuiteDb direct(u"MASTER.MDB"_s);
    QSqlQuery query = direct.query(u"select acctnumber from acctinfo where classcode = 'SOC' "
                                   u"and acctnumber = fix(acctnumber) and acctnumber > 2000"_s);
    ASSERT_FALSE(direct.failed());
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toDouble(), 2001.0);
    EXPECT_FALSE(query.next());

    db = u"user"_s;
    DbRead(db, u"select * from staff where ucase$(username) = 'JONES' and username <> 'smith'"_s);
    EXPECT_EQ(state().RowValues.value(0).toString(), u"JONES"_s);
    DbRead(db, u"select * from staff where work = '' and username <> 'jones'"_s);
    EXPECT_EQ(state().RowValues.value(0).toString(), u"SMITH"_s);
}

// Another workstation: its own connection in its own thread, holding the write lock of
// daily.mdb until its timer commits.
class LockHolder
{
public:
    LockHolder(const QString &file, int holdMs)
    {
        thread_.reset(QThread::create([this, file, holdMs] {
            const QString name = u"holder"_s;
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
                db.setDatabaseName(file);
                QSqlQuery query(db);
                const bool ok = db.open() && query.exec(u"BEGIN IMMEDIATE"_s)
                    && query.exec(u"insert into ardaily (tallicnum) values ('HOLDER')"_s);
                locked_.release();
                if (ok) {
                    QEventLoop loop;
                    QTimer::singleShot(holdMs, &loop, [&] {
                        query.exec(u"COMMIT"_s);
                        loop.quit();
                    });
                    loop.exec();
                }
            }
            QSqlDatabase::removeDatabase(name);
        }));
        thread_->start();
        locked_.acquire();
    }
    ~LockHolder() { thread_->wait(); }

private:
    QSemaphore locked_;
    std::unique_ptr<QThread> thread_;
};

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

TEST_F(DatabaseTest, DirectOpensFollowTheFileRulesAndMapFailures)
{
    {
        SuiteDb db(u"nosuch.mdb"_s);
        EXPECT_FALSE(db.isOpen());
        EXPECT_EQ(jetErrorNumber(db.error()), 3024);
        db.query(u"select 1"_s);
        EXPECT_EQ(jetErrorNumber(db.error()), 3024);
    }
    EXPECT_FALSE(QFile::exists(path(u"nosuch.mdb"_s)));

    QString connection;
    {
        SuiteDb db(u"GL.MDB"_s);
        connection = db.connectionName();
        QSqlQuery timeout = db.query(u"PRAGMA busy_timeout"_s);
        ASSERT_TRUE(timeout.next());
        EXPECT_GE(timeout.value(0).toInt(), 5000);
        timeout.finish();

        db.query(u"insert into gl0 (glacctnum, glacctname) values (4100, 'Twice')"_s);
        EXPECT_EQ(jetErrorNumber(db.error()), 3022);
        db.passOnError();
        EXPECT_EQ(state().ErrNumber, 3022);
        EXPECT_EQ(state().ErrLine, 0);

        // The lock of another workstation, when this one will not wait.
        ASSERT_TRUE(db.exec(u"PRAGMA busy_timeout = 0"_s));
        QSqlDatabase::cloneDatabase(QSqlDatabase::database(connection, false), u"other"_s);
    }
    EXPECT_FALSE(QSqlDatabase::contains(connection));
    QSqlDatabase::removeDatabase(u"other"_s);

    {
        LockHolder holder(path(u"daily.mdb"_s), 300);
        SuiteDb db(u"daily.mdb"_s);
        ASSERT_TRUE(db.exec(u"PRAGMA busy_timeout = 0"_s));
        EXPECT_FALSE(db.exec(u"insert into ardaily (tallicnum) values ('NOWAIT')"_s));
        EXPECT_EQ(jetErrorNumber(db.error()), 3260);
    }
    EXPECT_TRUE(chits(u"NOWAIT"_s).isEmpty());
}

TEST_F(DatabaseTest, CloseAllClosesConnectionsStillInUse)
{
    SuiteDb db(u"emp.mdb"_s);
    ASSERT_TRUE(db.isOpen());
    DbCloseAll();
    EXPECT_FALSE(db.isOpen());
    QSqlQuery query = db.query(u"select * from empinfo"_s);
    EXPECT_FALSE(query.isActive());
    EXPECT_EQ(jetErrorNumber(db.error()), 3420);
    DbFreeLocks();
    DbCloseAll();

    // The shared routines leave no connection behind.
    QString name = u"emp"_s;
    DbRead(name, u"select * from empinfo where empid = 305"_s);
    EXPECT_EQ(state().RowValues.value(1).toString(), u"LEE"_s);
    for (const QString &connection : QSqlDatabase::connectionNames())
        EXPECT_EQ(connection, db.connectionName());
}

} // namespace
