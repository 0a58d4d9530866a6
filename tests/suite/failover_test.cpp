#include "store/database.h"
#include "testkit/harness.h"
#include "testkit/serverpair.h"
#include "testkit/world.h"

#include <QThread>

#include <cstdio>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

// A club's primary and its synchronous standby, both named in tallic.ini with
// target_session_attrs=read-write. The primary lost, the chit keyed while the standby is
// being promoted waits for it and is stored there once; the chit the primary had reported
// stored is there too.
TEST(FailoverTest, AChitKeyedDuringAFailoverGoesToThePromotedStandby)
{
    if (ServerPair::programs().isEmpty())
        GTEST_SKIP() << "needs PostgreSQL's programs";
    ServerPair pair;
    ASSERT_EQ(pair.problem(), QString());
    Harness h(Harness::Server { pair.connection() });
    startMarch2024(h);
    keyChit(h, u"4100"_s, u"F1"_s, u"1001"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);
    ASSERT_EQ(h.control(u"Text5"_s).text, u"1"_s);

    ASSERT_TRUE(pair.stop(ServerPair::Primary)) << qPrintable(pair.problem());
    // Past the lock wait the operator is told why, server by server.
    const int waitLimit = setLockWaitLimit(300);
    QString daily = u"daily"_s;
    EXPECT_FALSE(DbRead(daily, u"select * from ardaily"_s));
    setLockWaitLimit(waitLimit);
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_TRUE(h.dialogs().at(0).text.endsWith(
        u"port %1 failed: Connection refused; connection to server at \"127.0.0.1\", port %2 "
        u"failed: session is read-only (no server named takes writes; a standby takes them once "
        u"it is promoted)"_s.arg(pair.port(ServerPair::Primary))
            .arg(pair.port(ServerPair::Standby))))
        << qPrintable(h.dialogs().at(0).text);
    h.clearDialogs();
    // Until the promotion the standby answers, but not as one that takes writes.
    std::atomic<bool> promoted = false;
    std::thread failover([&] {
        QThread::msleep(500);
        promoted = pair.promote();
    });
    keyChit(h, u"4100"_s, u"F2"_s, u"1001"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);
    failover.join();
    ASSERT_TRUE(promoted) << qPrintable(pair.problem());

    EXPECT_EQ(h.dialogs(), QList<Dialog>());
    EXPECT_EQ(h.control(u"Text5"_s).text, u"2"_s);
    QStringList stored;
    for (const QVariantList &row : chits(h))
        stored << row.at(1).toString();
    EXPECT_EQ(stored, (QStringList { u"F1"_s, u"F2"_s }));
    EXPECT_EQ(h.rows(u"daily"_s, u"select inet_server_port()"_s),
              QList<QVariantList> { { pair.port(ServerPair::Standby) } });
}

// Three workstations posting while the primary is lost and the standby promoted, the
// standby's link healthy: every chit a workstation was told was stored is there once, and
// there is no other. A chit whose COMMIT went unanswered is looked up by its key on the new
// primary, never by a transaction number.
TEST(FailoverTest, ThreeWorkstationsPostingThroughAFailoverStoreEveryChitOnce)
{
    if (ServerPair::programs().isEmpty())
        GTEST_SKIP() << "needs PostgreSQL's programs";
    ServerPair pair;
    ASSERT_EQ(pair.problem(), QString());
    Harness h(Harness::Server { pair.connection() });
    constexpr int Each = 150;
    int before = 0;
    std::atomic<bool> failedOver = false;
    std::thread failover([&] {
        // Once the workstations are well under way.
        for (int i = 0; i < 600 && before < 30; ++i) {
            QThread::msleep(20);
            before
                = h.rows(u"daily"_s, u"select count(*) from ardaily"_s).value(0).value(0).toInt();
        }
        failedOver = pair.stop(ServerPair::Primary) && pair.promote();
    });
    const Workstations run = postFromWorkstations(h, QStringLiteral(TALLIC_POSTWORKER), 3, Each);
    failover.join();
    ASSERT_TRUE(failedOver) << qPrintable(pair.problem());
    EXPECT_GE(before, 30);
    EXPECT_EQ(run.failures, QStringList());
    EXPECT_EQ(h.rows(u"daily"_s, u"select count(*), count(distinct tallicnum) from ardaily"_s),
              (QList<QVariantList> { { 3 * Each, 3 * Each } }));
    EXPECT_EQ(h.rows(u"daily"_s, u"select inet_server_port()"_s),
              QList<QVariantList> { { pair.port(ServerPair::Standby) } });
    std::printf("%d chits stored before the failover, %d posted again\n", before, run.postedAgain);
}

// The standby's link stalled before a chit's COMMIT: the primary has the chit, the standby
// never gets it, and the operator is told that the outcome is unknown. The primary lost and
// the standby promoted, with transaction numbers used up there meanwhile, the chit is found
// not stored at the next start: never counted.
TEST(FailoverTest, AChitTheStandbyNeverHadIsResolvedAsNotStored)
{
    if (ServerPair::programs().isEmpty())
        GTEST_SKIP() << "needs PostgreSQL's programs";
    ServerPair pair;
    ASSERT_EQ(pair.problem(), QString());
    Harness h(Harness::Server { pair.connection() });
    const int waitLimit = setLockWaitLimit(500);
    startMarch2024(h);
    keyChit(h, u"4100"_s, u"B1"_s, u"1001"_s, u"10"_s);
    h.clearDialogs();
    pair.link().freeze();
    h.keys(u"{ENTER}"_s);
    ASSERT_EQ(h.dialogTitles(), QStringList { u"Chit outcome unknown"_s });
    EXPECT_EQ(h.control(u"Text5"_s).text, u"0"_s);

    ASSERT_TRUE(pair.stop(ServerPair::Primary) && pair.promote()) << qPrintable(pair.problem());
    for (int i = 0; i < 20; ++i)
        h.exec(u"daily"_s, u"insert into ardaily (tallicnum) values ('OTHER')"_s);
    setLockWaitLimit(waitLimit);
    h.clearDialogs();
    h.queueAnswers({ true });
    h.click(u"cmdexit"_s);
    h.queuePickedDates({ u"20240312"_s });
    h.restart();
    EXPECT_EQ(h.dialogs().value(1),
              box(u"Chits checked"_s, u"Chit B1 was not stored; key it again"_s,
                  DialogIcon::Information));
    EXPECT_EQ(h.rows(u"daily"_s, u"select count(*) from ardaily where tallicnum = 'B1'"_s),
              QList<QVariantList> { { 0 } });
}

} // namespace
