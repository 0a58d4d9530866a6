// An operator's session on the real programs: tallic-menu starts Tallic on fresh demo data,
// and tallic-keys types at the keyboard of the X server, as the operator would. Nothing is
// clicked: the batch date is picked in the calendar with Enter, the modes are changed with
// the buttons' Alt letters, and every chit is posted with Enter on OK. The keys come in one
// burst, faster than any operator, so that type-ahead lost or misplaced shows in the rows.

#include "testkit/world.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using tallic::testkit::expectRow;

namespace {

class SessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString display = qEnvironmentVariable("TALLIC_XVFB_DISPLAY");
        if (display.isEmpty())
            GTEST_SKIP() << "TALLIC_XVFB_DISPLAY is not set: no X server to type into";
        ASSERT_TRUE(data.isValid() && runtime.isValid());
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"DISPLAY"_s, display);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        // A lock of its own: a Tallic running elsewhere on this machine is not in the way.
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());

        menu.setProgram(QStringLiteral(TALLIC_MENU_PATH));
        menu.setArguments({ u"--demo"_s, u"--data"_s, data.path(), u"--user"_s, u"JONES"_s,
                            u"--level"_s, u"99"_s, u"--date"_s, today });
        menu.setProcessEnvironment(environment);
        menu.setProcessChannelMode(QProcess::ForwardedChannels);
        // A group of its own, so that a failed test can end Tallic with the menu: a Tallic
        // left behind would hold the test's output open until CTest's timeout.
        menu.setChildProcessModifier([] { ::setpgid(0, 0); });
        menu.start();
        ASSERT_TRUE(menu.waitForStarted());
    }

    void TearDown() override
    {
        if (menu.state() == QProcess::NotRunning)
            return;
        // Exit closes Tallic, and the menu ends with it.
        type({ u"--window"_s, u"JONES @"_s, u"%x"_s });
        if (!menu.waitForFinished(20000)) {
            ADD_FAILURE() << "Tallic did not end on Exit";
            ::kill(-static_cast<pid_t>(menu.processId()), SIGKILL);
            menu.waitForFinished();
        }
    }

    // Runs tallic-keys with the arguments; true when it did everything.
    bool type(const QStringList &arguments) { return run(TALLIC_KEYS_PATH, arguments) == 0; }
    // Runs the program with the arguments; its exit status.
    int run(const char *program, const QStringList &arguments)
    {
        QProcess process;
        process.setProgram(QString::fromUtf8(program));
        process.setArguments(arguments);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start();
        return process.waitForFinished(90000) && process.exitStatus() == QProcess::NormalExit
            ? process.exitCode()
            : -1;
    }

    // Every row of ardaily in the order stored.
    QList<QVariantList> rows()
    {
        QList<QVariantList> result;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"session"_s);
            db.setDatabaseName(data.filePath(u"daily.mdb"_s));
            db.setConnectOptions(u"QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"_s);
            QSqlQuery query(db);
            if (db.open() && query.exec(u"select * from ardaily order by rowid"_s)) {
                while (query.next()) {
                    QVariantList row;
                    for (int i = 0; i < query.record().count(); ++i)
                        row << query.value(i);
                    result << row;
                }
            }
        }
        QSqlDatabase::removeDatabase(u"session"_s);
        return result;
    }

    // Waits until ardaily holds count rows.
    bool waitForRows(qsizetype count)
    {
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            const qsizetype stored = rows().size();
            if (stored >= count)
                return stored == count;
            QThread::msleep(200);
        }
        return false;
    }

    QTemporaryDir data;
    QTemporaryDir runtime;
    QProcessEnvironment environment;
    QProcess menu;
    const QString today = QDate::currentDate().toString(u"yyyyMMdd"_s);
};

TEST_F(SessionTest, ABatchOfChitsPaymentAndCreditTypedInOneBurstLosesNothing)
{
    // Three chits, a payment to the cash account keyed as a positive amount, and a credit
    // (the question's default answer, No). Every key at once, without a pause: keys
    // typed while a field is checked or a chit is posted wait their turn, the question of
    // the credit mode takes the Enter typed for it, and nothing lands in the wrong field.
    // Keys typed at the entry window while the calendar is open are not for the batch.
    ASSERT_TRUE(type({ u"--window"_s, u"Choose a date"_s, u"--window"_s, u"JONES @"_s,
                       u"4100~77~"_s, u"--window"_s, u"Choose a date"_s, u"{ENTER}"_s,
                       u"--window"_s, u"JONES @"_s, u"--pace"_s, u"0"_s, u"--pause"_s, u"0"_s,
                       u"4100~101~~1001~11~25.00~~4200~102~~1002~14~12.50~~"
                       u"4100~103~~1005~15~40~~%p1010~~1003~150~~%c~4100~~1004~10~~"_s }));
    ASSERT_TRUE(waitForRows(5));
    EXPECT_TRUE(type({ u"--pause"_s, u"500"_s, u"--shot"_s, QStringLiteral(TALLIC_SESSION_SHOT) }));

    // One batch, one stamp; no memo was keyed, so its column keeps a new row's value.
    const QList<QVariantList> stored = rows();
    ASSERT_EQ(stored.size(), 5);
    const QString stamp = stored.at(0).at(15).toString();
    EXPECT_TRUE(QRegularExpression(u"^JONES\\d\\d:\\d\\d:\\d\\d$"_s).match(stamp).hasMatch())
        << qPrintable(stamp);
    const QStringList expected[] = {
        { u"4100"_s, u"101"_s, today, u"1001"_s, u"11"_s, u"0"_s, u"25"_s, u"4.5"_s, u"1.77"_s,
          u"31.27"_s },
        { u"4200"_s, u"102"_s, today, u"1002"_s, u"14"_s, u"0"_s, u"12.5"_s, u"1.88"_s, u"0.86"_s,
          u"15.24"_s },
        { u"4100"_s, u"103"_s, today, u"1005"_s, u"15"_s, u"0"_s, u"40"_s, u"7.2"_s, u"2.83"_s,
          u"50.03"_s },
        { u"1010"_s, u"PAYMENT"_s, today, u"1003"_s, u"0"_s, u"0"_s, u"-150"_s, u"0"_s, u"0"_s,
          u"-150"_s },
        { u"4100"_s, u"CREDIT"_s, today, u"1004"_s, u"0"_s, u"0"_s, u"-10"_s, u"-1.8"_s, u"-0.71"_s,
          u"-12.51"_s },
    };
    for (int r = 0; r < 5; ++r) {
        SCOPED_TRACE(r + 1);
        ASSERT_EQ(stored.at(r).size(), 18);
        expectRow(
            stored.at(r),
            expected[r]
                + QStringList { u"0"_s, u"0"_s, u"0"_s, u"0"_s, u" "_s, stamp, u"null"_s, u"9"_s });
    }
}

// The box a window shows takes the keys sent to the window, and stays above it; a Tallic
// refused at its start (a second one in the session) ends its menu with a failure.
TEST_F(SessionTest, ABoxTakesTheKeysAndARefusedStartEndsTheMenuFailed)
{
    ASSERT_TRUE(type({ u"--window"_s, u"Choose a date"_s }));
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(TALLIC_MENU_PATH), { u"--data"_s, runtime.path() });
    EXPECT_TRUE(type({ u"--window"_s, u"Varnest"_s, u"{ENTER}"_s }));
    EXPECT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(type({ u"--window"_s, u"Choose a date"_s, u"{ENTER}"_s, u"--window"_s, u"JONES @"_s,
                       u"9999~"_s, u"--window"_s, u"Invalid G/L"_s, u"--window"_s, u"JONES @"_s }));
    // The windows from the top down, as the X server stacks them.
    QProcess stack;
    stack.setProcessEnvironment(environment);
    stack.start(u"xwininfo"_s, { u"-root"_s, u"-tree"_s });
    ASSERT_TRUE(stack.waitForFinished());
    const QString windows = QString::fromUtf8(stack.readAll());
    EXPECT_LT(windows.indexOf(u"\"Invalid G/L"_s), windows.indexOf(u"\"JONES @"_s))
        << qPrintable(windows);
    EXPECT_TRUE(type({ u"--window"_s, u"JONES @"_s, u"{ENTER}"_s, u"%x"_s }));
    EXPECT_TRUE(menu.waitForFinished(20000));
}

// Without a display or a data folder, the programs say so; each explains itself.
TEST(ProgramsTest, TheMenuAndTheKeysSayWhatIsMissing)
{
    QTemporaryDir empty;
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    noDisplay.remove(u"DISPLAY"_s);
    noDisplay.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    const QString menu = QStringLiteral(TALLIC_MENU_PATH), keys = QStringLiteral(TALLIC_KEYS_PATH);
    const struct
    {
        QString program;
        QStringList arguments;
        int code;
        QString said;
    } cases[] = {
        { menu, { u"--help"_s }, 0, u"--demo           make DIR"_s },
        { keys, { u"--help"_s }, 0, u"usage: tallic-keys"_s },
        { menu, { u"--data"_s, u"/nonexistent/club"_s }, 1, u"no data folder /nonexistent/club"_s },
        { menu, { u"--demo"_s, u"--data"_s, empty.path() }, 3, u"no X display"_s },
        { keys, { u"4100~"_s }, 3, u"no X display"_s },
        { keys, { u"--windw"_s, u"X"_s }, 2, u"unknown option --windw"_s },
    };
    for (const auto &c : cases) {
        QProcess process;
        process.setProcessEnvironment(noDisplay);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(c.program, c.arguments);
        ASSERT_TRUE(process.waitForFinished(30000));
        const QString out = QString::fromUtf8(process.readAll());
        EXPECT_EQ(process.exitCode(), c.code) << qPrintable(c.arguments.join(u' ') + u'\n' + out);
        EXPECT_TRUE(out.contains(c.said)) << qPrintable(c.said + u"\nnot in\n"_s + out);
    }
    EXPECT_FALSE(QFile::exists(u"/nonexistent/club"_s));
    EXPECT_TRUE(QDir(empty.path()).isEmpty());
}

} // namespace
