#include "suite/database.h"
#include "testkit/harness.h"
#include "testkit/serverpair.h"
#include "testkit/world.h"

#include <QThread>

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

} // namespace
