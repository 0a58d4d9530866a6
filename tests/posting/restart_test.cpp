// The database server restarted in the middle of a batch: the program's connections open
// again by themselves, nothing posted before is lost, and a chit that meets the server away
// is either stored once it is back or kept on the screen with a message.
#include "entry/arinput.h"
#include "suite/database.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QProcess>
#include <QScopeGuard>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

TEST(ServerRestartTest, ABatchGoesOnAcrossRestartsAndLosesNothing)
{
    // The server's pg_ctl, as ./run test gives it.
    const QString control = qEnvironmentVariable("TALLIC_TEST_SERVER_CONTROL");
    if (qEnvironmentVariableIsEmpty("TALLIC_TEST_POSTGRES") || control.isEmpty())
        GTEST_SKIP() << "needs a PostgreSQL server that it may restart";
    const auto server = [&control](const QStringList &arguments) {
        return QProcess::execute(control, arguments) == 0;
    };
    // Whatever fails here, the other tests find the server running.
    const auto startAgain = qScopeGuard([&server] {
        if (!server({ u"status"_s }))
            server({ u"start"_s });
    });
    Harness h;
    startMarch2024(h);
    keyChit(h, u"4100"_s, u"R1"_s, u"1001"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);

    // Between two chits.
    ASSERT_TRUE(server({ u"restart"_s, u"-m"_s, u"fast"_s }));
    keyChit(h, u"4100"_s, u"R2"_s, u"1002"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);
    EXPECT_EQ(h.dialogs(), QList<Dialog>());

    // Down when OK is pressed and up again within the wait: the post waits for it.
    keyChit(h, u"4100"_s, u"R3"_s, u"1003"_s, u"10"_s);
    ASSERT_TRUE(server({ u"stop"_s, u"-m"_s, u"fast"_s }));
    QProcess starting;
    starting.start(control, { u"start"_s });
    h.keys(u"{ENTER}"_s);
    // The post waited for the start, which has mostly ended by now.
    if (starting.state() != QProcess::NotRunning)
        starting.waitForFinished(60000);
    EXPECT_EQ(starting.exitCode(), 0);
    EXPECT_EQ(h.dialogs(), QList<Dialog>());

    // Down longer than the wait: the chit stays with a message, and goes once it is back.
    const int waitLimit = setLockWaitLimit(500);
    keyChit(h, u"4100"_s, u"R4"_s, u"1004"_s, u"10"_s);
    ASSERT_TRUE(server({ u"stop"_s, u"-m"_s, u"fast"_s }));
    h.keys(u"{ENTER}"_s);
    EXPECT_EQ(h.dialogTitles().count(u"Chit not stored"_s), 1);
    EXPECT_EQ(h.control(u"Text1(2)"_s).text, u"R4"_s);
    EXPECT_EQ(h.control(u"Text5"_s).text, u"3"_s);
    ASSERT_TRUE(server({ u"start"_s }));
    h.clearDialogs();
    h.click(u"cmdokay"_s);
    EXPECT_EQ(h.dialogs(), QList<Dialog>());
    setLockWaitLimit(waitLimit);

    QStringList stored;
    for (const QVariantList &row : chits(h))
        stored << row.at(1).toString();
    EXPECT_EQ(stored, (QStringList { u"R1"_s, u"R2"_s, u"R3"_s, u"R4"_s }));
    EXPECT_EQ(h.control(u"Text5"_s).text, u"4"_s);
}

} // namespace
