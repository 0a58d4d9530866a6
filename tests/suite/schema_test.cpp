#include "suite/sharedstate.h"
#include "suite/database.h"
#include "suite/demodata.h"
#include "suite/schema.h"
#include "testkit/harness.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::Harness;

namespace {

int count(Harness &h, const QString &db, const QString &sql)
{
    return h.rows(db, sql).value(0).value(0).toInt();
}

// A count through the program's own connection, which knows the Jet functions.
int countDirect(const QString &file, const QString &sql)
{
    SuiteDb db(file);
    QSqlQuery query = db.query(sql);
    EXPECT_FALSE(db.failed()) << qPrintable(db.error().text());
    return query.next() ? query.value(0).toInt() : -1;
}

// What "select * from T" gives, the way the program reads it.
QVariantList firstRow(const QString &db, const QString &statement)
{
    QString name = db;
    DbRead(name, statement);
    EXPECT_EQ(state().ErrNumber, 0) << qPrintable(statement);
    return state().RowValues;
}

TEST(SchemaTest, ColumnsStandWhereTheProgramReadsThem)
{
    Harness h;
    const struct
    {
        QString db, table;
        int position;
        QString column;
    } cases[] = {
        { u"config"_s, u"ar"_s, 0, u"arlevel1"_s },
        { u"config"_s, u"ar"_s, 3, u"arlevel4"_s },
        { u"config"_s, u"ar"_s, 4, u"aracct"_s },
        { u"config"_s, u"ar"_s, 7, u"artaxsrvchg"_s },
        { u"config"_s, u"ar"_s, 19, u"arvalidity"_s },
        { u"config"_s, u"ar"_s, 22, u"armonth"_s },
        { u"config"_s, u"ar"_s, 25, u"arsctaxshare"_s },
        { u"config"_s, u"ar"_s, 26, u"arconsolidate"_s },
        { u"config"_s, u"ar"_s, 27, u"arfkey1"_s },
        { u"config"_s, u"ar"_s, 38, u"arfkey12"_s },
        { u"config"_s, u"ar"_s, 39, u"artaxbasis"_s },
        { u"config"_s, u"ar"_s, 47, u"arskipcheck"_s },
        { u"config"_s, u"ar"_s, 48, u"aryear"_s },
        { u"config"_s, u"pos"_s, 0, u"empvalidate"_s },
        { u"config"_s, u"gl"_s, 7, u"glprofitacct"_s },
        { u"config"_s, u"company"_s, 1, u"salestax"_s },
        { u"daily"_s, u"ardaily"_s, 1, u"tallicnum"_s },
        { u"ar"_s, u"ar0"_s, 0, u"aracctnum"_s },
        { u"ar"_s, u"ar0"_s, 7, u"arsrvchg"_s },
        { u"ar"_s, u"ar0"_s, 8, u"arsalestax"_s },
        { u"gl"_s, u"gl0"_s, 0, u"glacctnum"_s },
        { u"gl"_s, u"gl0"_s, 2, u"glstatementdesc"_s },
        { u"gl"_s, u"gl0"_s, 4, u"gllevel"_s },
        { u"master"_s, u"acctinfo"_s, 0, u"acctnumber"_s },
        { u"master"_s, u"acctinfo"_s, 6, u"classcode"_s },
        { u"master"_s, u"classcode"_s, 1, u"Description"_s },
        { u"master2"_s, u"ar"_s, 1, u"balfwd"_s },
        { u"emp"_s, u"empinfo"_s, 3, u"operator"_s },
        { u"emp"_s, u"empinfo"_s, 4, u"accessnum"_s },
        { u"user"_s, u"staff"_s, 0, u"username"_s },
        { u"user"_s, u"staff"_s, 3, u"sysuser"_s },
    };
    for (const auto &c : cases) {
        const QList<QVariantList> columns = h.rows(c.db, u"PRAGMA table_info("_s + c.table + u')');
        ASSERT_GT(columns.size(), c.position) << qPrintable(c.db + u'.' + c.table);
        EXPECT_EQ(columns.at(c.position).at(1).toString(), c.column)
            << qPrintable(c.db + u'.' + c.table) << " position " << c.position;
    }
    EXPECT_EQ(h.rows(u"config"_s, u"PRAGMA table_info(ar)"_s).size(), 49);
    EXPECT_EQ(h.rows(u"daily"_s, u"PRAGMA table_info(ardaily)"_s).size(), 18);
}

TEST(SchemaTest, TextIgnoresCaseKeysAreUniqueAndLookupsAreIndexed)
{
    Harness h;
    EXPECT_EQ(count(h, u"gl"_s, u"select count(*) from gl0 where glacctname = 'food SALES'"_s), 1);
    EXPECT_EQ(count(h, u"master"_s, u"select count(*) from classcode where classcode = 'reg'"_s),
              1);

    // The key refuses a second row and Null; other columns take Null.
    SuiteDb master(u"master.mdb"_s);
    EXPECT_FALSE(master.exec(u"insert into classcode values ('Reg', 'Again')"_s));
    EXPECT_FALSE(master.exec(u"insert into acctinfo (lname) values ('NOBODY')"_s));
    EXPECT_TRUE(master.exec(u"insert into acctinfo (acctnumber) values (9999)"_s));
    master.close();

    const struct
    {
        QString db, table, column;
    } lookups[] = {
        { u"daily"_s, u"ardaily"_s, u"tallicnum"_s },
        { u"master"_s, u"acctinfo"_s, u"acctnumber"_s },
        { u"master"_s, u"acctinfo"_s, u"classcode"_s },
        { u"master"_s, u"classcode"_s, u"classcode"_s },
        { u"ar"_s, u"ar0"_s, u"aracctnum"_s },
        { u"gl"_s, u"gl0"_s, u"glacctnum"_s },
        { u"emp"_s, u"empinfo"_s, u"empid"_s },
        { u"emp"_s, u"empinfo"_s, u"operator"_s },
        { u"emp"_s, u"empinfo"_s, u"accessnum"_s },
        { u"user"_s, u"staff"_s, u"username"_s },
        { u"user"_s, u"staff"_s, u"work"_s },
        { u"master2"_s, u"ar"_s, u"acctnumber"_s },
    };
    for (const auto &l : lookups) {
        // empinfo's key is the rowid itself; every other lookup has an index of its own.
        const QString sql = l.column == u"empid"_s
            ? u"select count(*) from pragma_table_info('empinfo') where name = 'empid' and pk = 1"_s
            : u"select count(*) from pragma_index_list('"_s + l.table
                + u"') as il, pragma_index_info(il.name) as ii where ii.name = '"_s + l.column
                + u"' and ii.seqno = 0"_s;
        EXPECT_EQ(count(h, l.db, sql), 1) << qPrintable(l.db + u'.' + l.table + u'.' + l.column);
    }
}

TEST(SchemaTest, CreationMakesOnlyWhatIsMissingAndLeavesNothingBehind)
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
    EXPECT_EQ(suiteFiles(), files);
    for (const QString &file : files)
        EXPECT_EQ(h.rows(file.chopped(4), u"PRAGMA journal_mode"_s).value(0).value(0), u"delete"_s);

    h.exec(u"daily"_s, u"insert into ardaily (tallicnum) values ('KEEP')"_s);
    ASSERT_TRUE(QFile::remove(dir.filePath(u"emp.mdb"_s)));
    ASSERT_TRUE(QFile::rename(dir.filePath(u"gl.mdb"_s), dir.filePath(u"GL.MDB"_s)));
    createSuiteDatabases(h.dataDir());
    createSuiteDatabases(h.dataDir());
    EXPECT_EQ(suiteFiles(), files);
    EXPECT_TRUE(QFile::exists(dir.filePath(u"GL.MDB"_s)));
    EXPECT_EQ(count(h, u"daily"_s, u"select count(*) from ardaily"_s), 1);
    EXPECT_EQ(count(h, u"emp"_s, u"select count(*) from empinfo"_s), 0);

    // Demo data goes only into empty tables.
    const int members = count(h, u"master"_s, u"select count(*) from acctinfo"_s);
    createDemoData(h.dataDir(), QDate(2024, 3, 15));
    EXPECT_EQ(count(h, u"master"_s, u"select count(*) from acctinfo"_s), members);
    EXPECT_EQ(count(h, u"daily"_s, u"select count(*) from ardaily"_s), 1);
    EXPECT_EQ(count(h, u"emp"_s, u"select count(*) from empinfo"_s), 8);
    EXPECT_EQ(count(h, u"config"_s, u"select count(*) from ar"_s), 1);
    EXPECT_EQ(suiteFiles(), files);
}

TEST(DemoDataTest, TheOpenMonthIsTodays)
{
    Harness h;
    ASSERT_TRUE(QFile::remove(QDir(h.dataDir()).filePath(u"config.mdb"_s)));
    createDemoData(h.dataDir(), QDate(2024, 3, 15));
    const QVariantList ar = firstRow(u"config"_s, u"select * from ar"_s);
    ASSERT_EQ(ar.size(), 49);
    EXPECT_EQ(ar.at(22).toInt(), 3);
    EXPECT_EQ(ar.at(48).toInt(), 2024);
    EXPECT_LE(ar.at(0).toInt(), 5); // the menu's usual level 05 may run the module
    EXPECT_EQ(ar.at(3).toInt(), 50);
    EXPECT_EQ(ar.at(47).toString(), u"0000000000"_s);
    EXPECT_EQ(ar.at(26).toString(), u"N"_s);
    for (int key = 27; key <= 38; ++key)
        EXPECT_FALSE(state().RowNulls.at(key)) << key; // written back as they are read
    EXPECT_EQ(firstRow(u"config"_s, u"select empvalidate from pos"_s).value(0).toInt(), 1);
    EXPECT_DOUBLE_EQ(firstRow(u"config"_s, u"select salestax from company"_s).value(0).toDouble(),
                     0.06);

    // The A/R and current-profit accounts are level-1 accounts of the chart.
    const double profit = firstRow(u"config"_s, u"select * from gl"_s).value(7).toDouble();
    for (double account : { ar.at(4).toDouble(), profit }) {
        EXPECT_EQ(count(h, u"gl"_s,
                        u"select count(*) from gl0 where gllevel = 1 and glacctnum = "_s
                            + QString::number(account)),
                  1)
            << account;
    }
}

TEST(DemoDataTest, TheClubHasWhatAnOperatorKeysAgainst)
{
    Harness h;
    const QString today = u"select * from ar"_s;
    EXPECT_EQ(firstRow(u"config"_s, today).value(22).toInt(), QDate::currentDate().month());

    const QString master = u"master.mdb"_s;
    EXPECT_GE(
        countDirect(master, u"select count(*) from acctinfo where acctnumber = fix(acctnumber)"_s),
        35);
    EXPECT_GE(
        countDirect(master, u"select count(*) from acctinfo where acctnumber <> fix(acctnumber)"_s),
        1);
    EXPECT_EQ(count(h, u"master"_s, u"select count(*) from acctinfo where acctnumber = 1001.01"_s),
              1);
    for (const QString &flag : { u"suspended"_s, u"terminated"_s, u"taxexempt"_s })
        EXPECT_EQ(
            count(h, u"master"_s, u"select count(*) from acctinfo where "_s + flag + u" = 1"_s), 1)
            << qPrintable(flag);
    EXPECT_EQ(count(h, u"master"_s, u"select count(*) from classcode"_s), 2);
    // Every member's class is known, or the member check would fail.
    EXPECT_EQ(count(h, u"master"_s,
                    u"select count(*) from acctinfo where classcode not in "
                    u"(select classcode from classcode)"_s),
              0);
    EXPECT_EQ(count(h, u"master2"_s, u"select count(*) from ar"_s),
              count(h, u"master"_s, u"select count(*) from acctinfo"_s));

    // Every level-1 revenue account has its rates; one account is of level 2.
    EXPECT_EQ(count(h, u"gl"_s, u"select count(*) from gl0 where gllevel = 2"_s), 1);
    const QList<QVariantList> revenue
        = h.rows(u"gl"_s, u"select glacctnum from gl0 where gllevel = 1 and glaccttype = 'R'"_s);
    EXPECT_GE(revenue.size(), 4);
    int withServiceCharge = 0;
    for (const QVariantList &account : revenue) {
        const QVariantList rates = firstRow(
            u"ar"_s, u"select * from ar0 where aracctnum = "_s + account.at(0).toString());
        EXPECT_EQ(state().MsgText, QString()) << qPrintable(account.at(0).toString());
        withServiceCharge += rates.value(7).toDouble() > 0 ? 1 : 0;
    }
    EXPECT_GE(withServiceCharge, 2);

    EXPECT_EQ(h.rows(u"user"_s, u"select username from staff order by username"_s),
              (QList<QVariantList> { { u"JONES"_s }, { u"SMITH"_s } }));
    EXPECT_GE(count(h, u"emp"_s,
                    u"select count(*) from empinfo where operator is not null "
                    u"and accessnum is not null"_s),
              3);
    EXPECT_TRUE(h.rows(u"daily"_s, u"select * from ardaily"_s).isEmpty());
}

} // namespace
