// What a chit costs, beside the same work done by the database engine alone. Each case
// prints one row of the table in bench/README.md; `./run bench` runs them all.
#include "lookup.h"
#include "store/datasource.h"
#include "store/sqlitefiles.h"
#include "testkit/harness.h"
#include "testkit/relay.h"
#include "testkit/world.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using namespace tallic::testkit;

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsOf(const std::function<void()> &work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> samples, double share)
{
    std::sort(samples.begin(), samples.end());
    return samples.at(std::min(samples.size() - 1, size_t(share * double(samples.size()))));
}

void report(const char *what, double tallic, double engine, const char *unit)
{
    // A run on the server that TALLIC_TEST_POSTGRES names says so in each row.
    const QByteArray label
        = (qEnvironmentVariableIsEmpty("TALLIC_TEST_POSTGRES") ? QByteArray()
                                                               : QByteArrayLiteral("PostgreSQL: "))
        + what;
    std::printf("| %-46s | %10.2f %s | %10.2f %s | %6.2fx |\n", label.constData(), tallic, unit,
                engine, unit, tallic / engine);
    std::fflush(stdout);
}

// The daily database of a harness, opened beside the program as another writer would.
class RawDaily
{
public:
    explicit RawDaily(const Harness &h)
    {
        QSqlError error;
        db_ = tallic::openSuiteDatabase(u"bench"_s, tallic::dataSourceOf(h.dataDir()),
                                        u"daily.mdb"_s, tallic::Access::ReadWrite, error);
    }
    explicit RawDaily(const QString &file)
    {
        db_ = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"bench"_s);
        db_.setDatabaseName(file);
        if (db_.open())
            tallic::setUpSuiteFile(db_);
        QSqlQuery(db_).exec(u"PRAGMA busy_timeout = 10000"_s);
    }
    ~RawDaily()
    {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"bench"_s);
    }

    // One chit row in a transaction of its own, as a post writes it.
    void insert(int serial)
    {
        db_.transaction();
        QSqlQuery q(db_);
        q.prepare(u"insert into ardaily values (4100, ?, 20240312, 1001, 0, 0, 10, 1.8, .71, "
                  u"12.51, 0, 0, 0, 0, ' ', 'JONES10:15:00', null, 9)"_s);
        q.addBindValue(u"R"_s + QString::number(serial));
        q.exec();
        db_.commit();
    }

    void fill(int rows)
    {
        db_.transaction();
        QSqlQuery q(db_);
        q.prepare(u"insert into ardaily values (4100, ?, 20240201, 1001, 0, 0, 10, 1.8, .71, "
                  u"12.51, 0, 0, 0, 0, ' ', 'OLD', null, 9)"_s);
        for (int i = 0; i < rows; ++i) {
            q.addBindValue(u"H"_s + QString::number(i));
            q.exec();
        }
        db_.commit();
    }

    // Whole rows in one transaction, every column bound as a generated row's are.
    void insertAll(const QList<QVariantList> &rows)
    {
        db_.transaction();
        QSqlQuery q(db_);
        q.prepare(
            u"insert into ardaily values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
        for (const QVariantList &row : rows) {
            for (int i = 0; i < row.size(); ++i)
                q.bindValue(i, row.at(i));
            q.exec();
        }
        db_.commit();
    }

private:
    QSqlDatabase db_;
};

// Posts one keyed chit after another: the time from OK to the row stored and the screen
// ready for the next chit, for each post, beside a raw insert on the same file.
void postSide(int posts, int historyRows, const char *label)
{
    Harness h;
    if (historyRows > 0)
        RawDaily(h).fill(historyRows);
    startMarch2024(h);
    std::vector<double> tallic, engine;
    {
        RawDaily raw(h);
        for (int i = 0; i < posts; ++i) {
            keyChit(h, u"4100"_s, u"B"_s + QString::number(i), u"1001"_s, u"10"_s);
            tallic.push_back(millisecondsOf([&h] { h.keys(u"{ENTER}"_s); }));
            engine.push_back(millisecondsOf([&raw, i] { raw.insert(i); }));
        }
    }
    EXPECT_EQ(h.rows(u"daily"_s, u"select count(*) from ardaily"_s).at(0).at(0).toInt(),
              2 * posts + historyRows);
    report((label + std::string(", median")).c_str(), percentile(tallic, 0.5),
           percentile(engine, 0.5), "ms");
    report((label + std::string(", 95th percentile")).c_str(), percentile(tallic, 0.95),
           percentile(engine, 0.95), "ms");
}

double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

TEST(Bench, PostOneKeyedChit)
{
    postSide(1000, 0, "post one keyed chit");
}

// The process's peak once the posts are done: the generation benchmark later keeps a
// copy of its 10,000 rows for the engine alone, which is the benchmark's, not the program's.
double peakAfterPosts = 0;

TEST(Bench, PostWithAMillionRows)
{
    postSide(200, 1000000, "post with 1,000,000 rows in ardaily");
    peakAfterPosts = peakMegabytes();
}

TEST(Bench, StartUpToTheFirstField)
{
    std::vector<double> tallic, empty;
    for (int i = 0; i < 10; ++i) {
        Harness h;
        prepareMarch2024(h);
        h.setCommandLine(u"KQV05JONES"_s);
        h.queuePickedDates({ u"20240312"_s });
        tallic.push_back(millisecondsOf([&h] { h.start(); }));
        EXPECT_EQ(h.focused(), u"Text1(1)"_s);
        empty.push_back(millisecondsOf([] {
            QWidget window;
            window.resize(900, 640);
            window.show();
            QCoreApplication::processEvents();
        }));
    }
    report("start-up to the first field, median", percentile(tallic, 0.5), percentile(empty, 0.5),
           "ms");
}

TEST(Bench, HundredChitsKeyedFieldByField)
{
    Harness h;
    startMarch2024(h);
    RawDaily raw(h);
    const double tallic = millisecondsOf([&h] {
        for (int i = 0; i < 100; ++i) {
            keyChit(h, u"4100"_s, u"K"_s + QString::number(i), u"1001"_s, u"10"_s);
            h.keys(u"{ENTER}"_s);
        }
    });
    const double engine = millisecondsOf([&raw] {
        for (int i = 0; i < 100; ++i)
            raw.insert(i);
    });
    EXPECT_EQ(chits(h).size(), 200);
    report("100 chits keyed and posted, total", tallic, engine, "ms");
}

// Eight workstations posting 500 chits each at once into one data set, to the last chit
// stored, beside one connection inserting the same 4,000 rows a transaction each.
TEST(Bench, EightWorkstationsPostingAtOnce)
{
    Harness h;
    const Workstations run = postFromWorkstations(h, QStringLiteral(TALLIC_POSTWORKER), 8, 500);
    EXPECT_EQ(run.failures, QStringList());
    EXPECT_EQ(h.rows(u"daily"_s, u"select count(*), count(distinct tallicnum) from ardaily"_s),
              (QList<QVariantList> { { 4000, 4000 } }));
    const double engine = millisecondsOf([&h] {
        RawDaily raw(h);
        for (int i = 0; i < 4000; ++i)
            raw.insert(i);
    });
    report("8 workstations x 500 chits at once, total", double(run.milliseconds), engine, "ms");
}

constexpr int Members = 1000;
constexpr int Items = 10;

// The bundle of 10 items and the list of members (1,000) that generation applies.
void writeBundle(Harness &h, int listed = Members)
{
    const int accounts[] = { 4100, 4200, 4300, 4500 };
    QStringList items, members;
    for (int i = 0; i < Items; ++i)
        items << u"%1.000 , %2.00 - ITEM"_s.arg(accounts[i % 4]).arg(10 + i);
    for (int i = 0; i < listed; ++i)
        members << u"%1 - MEMBER, NUMBER"_s.arg(2000 + i);
    h.createFile(u"bundle1.ini"_s, (items.join(u"\r\n"_s) + u"\r\n"_s).toLatin1());
    h.createFile(u"bundle2.ini"_s, (members.join(u"\r\n"_s) + u"\r\n"_s).toLatin1());
}

// Generate Chits clicked on the entry screen's AutoGenerate window: its time.
double generate(Harness &h)
{
    startMarch2024(h);
    h.click(u"cmdautogenerate"_s);
    h.queueInputs({ u"20240312"_s });
    h.queueAnswers({ true });
    return millisecondsOf([&h] { h.click(u"frmbundle.cmdgenerate"_s); });
}

// The slowest of the keys "name12" typed into the member lookup over 10,000 members.
double slowestLookupKey(Harness &h, const std::function<void()> &loaded = {},
                        const std::function<bool()> &again = {})
{
    QString values;
    for (int i = 0; i < 10000; ++i) {
        values
            += u"%1(%2, 'NAME%3', 'FIRST', 0, 0, 0, 'REG')"_s.arg(values.isEmpty() ? u""_s : u","_s)
                   .arg(20000 + i)
                   .arg(i);
    }
    h.exec(u"master"_s, u"insert into acctinfo values "_s + values);
    tallic::lookup::LookupWindow window(tallic::lookup::Face::Members);
    EXPECT_TRUE(window.load());
    if (loaded)
        loaded();
    double slowest = 0;
    do {
        window.search()->clear();
        for (const QChar key : u"name12"_s) {
            slowest = std::max(
                slowest, millisecondsOf([&] { QTest::keyClicks(window.search(), QString(key)); }));
        }
        EXPECT_EQ(window.rows()->rowCount(), 111);
    } while (again && again());
    return slowest;
}

TEST(Bench, MemberLookupFiltersAsTyped)
{
    Harness h;
    report("member lookup over 10,000 members, slowest key", slowestLookupKey(h), 20, "ms");
}

// The same while another process generates chits into the same data folder: the lookup
// is typed into again and again from the start of generation to its end.
TEST(Bench, MemberLookupWhileGenerating)
{
    const QString folder = qEnvironmentVariable("TALLIC_BENCH_GENERATE_IN");
    if (!folder.isEmpty()) {
        // The generating process.
        Harness h(folder);
        std::printf("generating\n");
        std::fflush(stdout);
        generate(h);
        return;
    }
    Harness h;
    writeBundle(h);
    QProcess generator;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TALLIC_BENCH_GENERATE_IN"_s, h.dataDir());
    generator.setProcessEnvironment(environment);
    const double slowest = slowestLookupKey(
        h,
        [&generator] {
            generator.start(QCoreApplication::applicationFilePath(),
                            { u"--gtest_filter=Bench.MemberLookupWhileGenerating"_s });
            QByteArray said;
            while (!said.contains("generating\n") && generator.waitForReadyRead(30000))
                said += generator.readAllStandardOutput();
        },
        [&generator] { return !generator.waitForFinished(0); });
    generator.waitForFinished(60000);
    EXPECT_EQ(generator.exitCode(), 0) << generator.readAllStandardError().constData();
    EXPECT_EQ(h.rows(u"daily"_s, u"select count(*) from ardaily"_s).at(0).at(0).toInt(),
              Members * Items);
    report("member lookup while 1,000 members are generated", slowest, 20, "ms");
}

// Generate Chits for 1,000 members with a bundle of 10 items, from the click to the last
// row stored, beside one transaction inserting the same 10,000 rows into a copy of the
// same empty file.
TEST(Bench, GenerateTenItemsForAThousandMembers)
{
    Harness h;
    writeBundle(h);
    const QDir data(h.dataDir());
    ASSERT_TRUE(QFile::copy(data.filePath(u"daily.mdb"_s), data.filePath(u"raw.mdb"_s)));
    const double tallic = generate(h);
    const QList<QVariantList> rows = h.rows(u"daily"_s, u"select * from ardaily"_s);
    ASSERT_EQ(rows.size(), Members * Items);

    double engine = 0;
    {
        RawDaily raw(data.filePath(u"raw.mdb"_s));
        engine = millisecondsOf([&] { raw.insertAll(rows); });
    }
    EXPECT_EQ(h.rows(u"raw"_s, u"select count(*) from ardaily"_s).at(0).at(0).toInt(),
              Members * Items);
    report("generate 10 items for 1,000 members, total", tallic, engine, "ms");
    report("generate 10 items for 1,000 members, rows/s", rows.size() / tallic * 1000,
           rows.size() / engine * 1000, "/s");
}

TEST(Bench, PeakMemoryAfterAThousandPosts)
{
    // Beside the goal it must stay under: the peak after 1,200 posts and a million-row
    // table, and the whole run's.
    report("peak memory after 1,000 posts (beside the goal)", peakAfterPosts, 60, "MB");
    report("peak memory of the whole run (beside the goal)", peakMegabytes(), 60, "MB");
}

} // namespace

namespace {

// A server behind the relay, which delays each message the same time either way: what the
// operator waits for, in round trips and in milliseconds, beside the goal.
class FarServer
{
public:
    FarServer(Harness &h, int delayEachWay)
        : relay_(h)
        , label_(delayEachWay ? std::to_string(2 * delayEachWay) + " ms away: " : "no delay: ")
    {
        relay_.delay(delayEachWay);
    }
    const std::string &label() const { return label_; }
    // Adds the work's round trips and time to what is measured under the name.
    void add(const std::string &what, const std::function<void()> &work)
    {
        const int before = relay_.roundTrips();
        Sum &sum = sums_[what];
        sum.ms += millisecondsOf(work);
        sum.trips += relay_.roundTrips() - before;
        ++sum.times;
    }
    int roundTrips() const { return relay_.roundTrips(); }
    // Reports each, divided by how many times it was measured, beside its goals.
    void report(const std::string &what, double trips, double ms) const
    {
        const Sum &sum = sums_.at(what);
        ::report((label_ + what + ", round trips").c_str(), sum.trips / sum.times, trips, "rt");
        ::report((label_ + what + ", time").c_str(), sum.ms / sum.times, ms, "ms");
    }

private:
    struct Sum
    {
        double trips = 0, ms = 0;
        int times = 0;
    };
    ServerRelay relay_;
    std::string label_;
    std::map<std::string, Sum> sums_;
};

// Start-up, ten chits keyed field by field, a generation run and the member lookup, with
// the goals of a server 20 ms away.
void keyAndGenerateAway(int delayEachWay)
{
    Harness h;
    if (!h.onServer())
        GTEST_SKIP() << "only a server is far away";
    prepareMarch2024(h);
    // Employee numbers checked, as most clubs have them.
    h.exec(u"config"_s, u"update pos set empvalidate = 0"_s);
    writeBundle(h);
    FarServer far(h, delayEachWay);
    h.setCommandLine(u"KQV05JONES"_s);
    h.queuePickedDates({ u"20240312"_s });
    far.add("start-up to the first field", [&h] { h.start(); });
    ASSERT_EQ(h.focused(), u"Text1(1)"_s);
    const std::pair<std::string, const char *> fields[] = {
        { "G/L account field", "4100{ENTER}" },
        { "chit number field", "F{ENTER}" },
        { "date field", "{ENTER}" },
        { "member field", "1001{ENTER}" },
        { "employee field", "301{ENTER}" },
        { "base sale field", "10{ENTER}" },
        { "OK, the post", "{ENTER}" },
    };
    // Each chit its own number, as the paper chits have: one keyed again is asked about.
    const auto keysOf = [](const std::string &what, const char *keys, int chit) {
        return what == "chit number field" ? u"F%1{ENTER}"_s.arg(chit) : QString::fromLatin1(keys);
    };
    // The first chit opens the connections a chit needs; the next ten are measured.
    for (const auto &[what, keys] : fields)
        h.keys(keysOf(what, keys, 0));
    for (int i = 1; i <= 10; ++i) {
        far.add("one keyed chit, six fields and OK", [&] {
            for (const auto &[what, keys] : fields)
                far.add(what, [&h, &keysOf, what, keys, i] { h.keys(keysOf(what, keys, i)); });
        });
    }
    ASSERT_EQ(chits(h).size(), 11);
    for (const char *field : { "G/L account field", "member field", "employee field" })
        far.report(field, 1, 20);
    far.report("OK, the post", 1.5, 35);
    far.report("one keyed chit, six fields and OK", 8, 200);
    far.report("start-up to the first field", 50, 1000);
    h.click(u"cmdautogenerate"_s);
    h.queueAnswers({ true });
    const int before = far.roundTrips();
    const double generated = millisecondsOf([&h] { h.click(u"frmbundle.cmdgenerate"_s); });
    EXPECT_EQ(chits(h).size(), 11 + Members * Items);
    const std::string generation = far.label() + "generate 10 items for 1,000 members, ";
    report((generation + "round trips a member").c_str(),
           double(far.roundTrips() - before) / Members, 1.2, "rt");
    report((generation + "time").c_str(), generated / 1000, 25, "s ");
    h.click(u"frmbundle.cmdexit"_s);
    report((far.label() + "a key in the member lookup over 10,000 members").c_str(),
           slowestLookupKey(h), 20, "ms");
}

TEST(Bench, AServerTwentyMillisecondsAway)
{
    keyAndGenerateAway(10);
}

TEST(Bench, AServerBehindTheRelayWithNoDelay)
{
    keyAndGenerateAway(0);
}

} // namespace
