// An operator's session on the real programs: tallic-menu starts Tallic on fresh demo data,
// and tallic-keys types at the keyboard of the X server, as the operator would. Nothing is
// clicked: the batch date is picked in the calendar with Enter, the modes are changed with
// the buttons' Alt letters, and every chit is posted with Enter on OK.

#include "testkit/harness.h" // prints QString values

#include <QDate>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

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
        menu.setArguments({ u"--data"_s, data.path(), u"--user"_s, u"JONES"_s, u"--level"_s,
                            u"99"_s, u"--date"_s, today });
        menu.setProcessEnvironment(environment);
        menu.setProcessChannelMode(QProcess::ForwardedChannels);
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
            menu.kill();
            menu.waitForFinished();
        }
    }

    // Runs tallic-keys with the arguments; true when it did everything.
    bool type(const QStringList &arguments)
    {
        QProcess keys;
        keys.setProgram(QStringLiteral(TALLIC_KEYS_PATH));
        keys.setArguments(arguments);
        keys.setProcessEnvironment(environment);
        keys.setProcessChannelMode(QProcess::ForwardedChannels);
        keys.start();
        return keys.waitForFinished(90000) && keys.exitStatus() == QProcess::NormalExit
            && keys.exitCode() == 0;
    }

    // Types the fields of one chit, each followed by Enter, as the operator keys them.
    bool keyChit(const QStringList &fields)
    {
        QStringList arguments { u"--window"_s, u"JONES @"_s, u"--pause"_s, u"300"_s };
        for (const QString &field : fields)
            arguments << field + u"~"_s;
        return type(arguments);
    }

    // Every row of ardaily in the order stored, each value as text ("null" for none).
    QList<QStringList> rows()
    {
        QList<QStringList> result;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"session"_s);
            db.setDatabaseName(data.filePath(u"daily.mdb"_s));
            db.setConnectOptions(u"QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"_s);
            if (db.open()) {
                QSqlQuery query(u"select * from ardaily order by rowid"_s, db);
                while (query.next()) {
                    QStringList row;
                    for (int i = 0; i < query.record().count(); ++i)
                        row << (query.isNull(i) ? u"null"_s : query.value(i).toString());
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

    // The three chits, the payment and the credit of the session, by position.
    void expectTheFiveRows()
    {
        const QList<QStringList> stored = rows();
        ASSERT_EQ(stored.size(), 5);
        const QStringList expected[] = {
            { u"4100"_s, u"101"_s, today, u"1001"_s, u"11"_s, u"0"_s, u"25"_s, u"4.5"_s, u"1.77"_s,
              u"31.27"_s },
            { u"4200"_s, u"102"_s, today, u"1002"_s, u"14"_s, u"0"_s, u"12.5"_s, u"1.88"_s,
              u"0.86"_s, u"15.24"_s },
            { u"4100"_s, u"103"_s, today, u"1005"_s, u"15"_s, u"0"_s, u"40"_s, u"7.2"_s, u"2.83"_s,
              u"50.03"_s },
            { u"1010"_s, u"PAYMENT"_s, today, u"1003"_s, u"0"_s, u"0"_s, u"-150"_s, u"0"_s, u"0"_s,
              u"-150"_s },
            { u"4100"_s, u"CREDIT"_s, today, u"1004"_s, u"0"_s, u"0"_s, u"-10"_s, u"-1.8"_s,
              u"-0.71"_s, u"-12.51"_s },
        };
        const QRegularExpression stamp(u"^JONES\\d\\d:\\d\\d:\\d\\d$"_s);
        for (int r = 0; r < 5; ++r) {
            SCOPED_TRACE(r + 1);
            const QStringList &row = stored.at(r);
            ASSERT_GE(row.size(), 18);
            // Numbers are compared as numbers: the total is a sum of doubles.
            for (int i = 0; i < 10; ++i) {
                if (i == 1)
                    EXPECT_EQ(row.at(i), expected[r].at(i));
                else
                    EXPECT_NEAR(row.at(i).toDouble(), expected[r].at(i).toDouble(), 1e-9)
                        << "position " << i;
            }
            EXPECT_EQ(row.mid(10, 5), (QStringList { u"0"_s, u"0"_s, u"0"_s, u"0"_s, u" "_s }));
            EXPECT_TRUE(stamp.match(row.at(15)).hasMatch()) << row.at(15).toStdString();
            // No memo was keyed: the column keeps a new row's value.
            EXPECT_EQ(row.at(16), u"null"_s);
            EXPECT_EQ(row.at(17), u"9"_s);
        }
        // One batch, one stamp.
        EXPECT_EQ(stored.at(4).at(15), stored.at(0).at(15));
    }

    QTemporaryDir data;
    QTemporaryDir runtime;
    QProcessEnvironment environment;
    QProcess menu;
    const QString today = QDate::currentDate().toString(u"yyyyMMdd"_s);
};

TEST_F(SessionTest, ABatchOfChitsPaymentAndCreditKeyedAtTheKeyboard)
{
    // NEW BATCH is pressed at start-up and opens the calendar with today chosen.
    ASSERT_TRUE(type({ u"--window"_s, u"Choose a date"_s, u"{ENTER}"_s }));

    // Three chits: account, chit number, the batch date kept, member, operator, base sale;
    // the last Enter presses OK.
    ASSERT_TRUE(keyChit({ u"4100"_s, u"101"_s, u""_s, u"1001"_s, u"11"_s, u"25.00"_s, u""_s }));
    ASSERT_TRUE(waitForRows(1));
    ASSERT_TRUE(keyChit({ u"4200"_s, u"102"_s, u""_s, u"1002"_s, u"14"_s, u"12.50"_s, u""_s }));
    ASSERT_TRUE(waitForRows(2));
    ASSERT_TRUE(keyChit({ u"4100"_s, u"103"_s, u""_s, u"1005"_s, u"15"_s, u"40"_s, u""_s }));
    ASSERT_TRUE(waitForRows(3));

    // A payment to the cash account, keyed as a positive amount.
    ASSERT_TRUE(type({ u"--window"_s, u"JONES @"_s, u"--pause"_s, u"500"_s, u"%p"_s }));
    ASSERT_TRUE(keyChit({ u"1010"_s, u""_s, u"1003"_s, u"150"_s, u""_s }));
    ASSERT_TRUE(waitForRows(4));

    // A credit: the question's default answer (No) is a current month credit.
    ASSERT_TRUE(
        type({ u"--window"_s, u"JONES @"_s, u"--pause"_s, u"800"_s, u"%c"_s, u"{ENTER}"_s }));
    ASSERT_TRUE(keyChit({ u"4100"_s, u""_s, u"1004"_s, u"10"_s, u""_s }));
    ASSERT_TRUE(waitForRows(5));
    EXPECT_TRUE(type({ u"--pause"_s, u"500"_s, u"--shot"_s, QStringLiteral(TALLIC_SESSION_SHOT) }));

    expectTheFiveRows();
}

TEST_F(SessionTest, TheSameSessionTypedInOneBurstLosesNothing)
{
    // Faster than any operator: every key of the session at once, without a pause. Keys
    // typed while a field is checked or a chit is posted wait their turn, the question of
    // the credit mode takes the Enter typed for it, and nothing lands in the wrong field.
    ASSERT_TRUE(type({ u"--window"_s, u"Choose a date"_s, u"{ENTER}"_s, u"--window"_s, u"JONES @"_s,
                       u"--pace"_s, u"0"_s, u"--pause"_s, u"0"_s,
                       u"4100~101~~1001~11~25.00~~4200~102~~1002~14~12.50~~"
                       u"4100~103~~1005~15~40~~%p1010~~1003~150~~%c~4100~~1004~10~~"_s }));
    ASSERT_TRUE(waitForRows(5));
    expectTheFiveRows();
}

} // namespace
