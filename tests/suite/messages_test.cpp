#include "suite/sharedstate.h"
#include "suite/messages.h"
#include "testkit/fakeplatform.h"
#include "testkit/harness.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::DialogIcon;
using tallic::testkit::DialogKind;
using tallic::testkit::Harness;

namespace {

const QString Duplicate = u"The changes you requested to the table were not successful because "
                          u"they would create duplicate values in the index."_s;

class MessagesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        h.setToday(QDate(2024, 3, 1));
        h.fake().time = QTime(14, 5, 9);
        state().UserName = u"JONES"_s;
        state().LocationText = u"A/R Chit"_s;
    }

    QByteArray fileText(const QString &name) const
    {
        QFile file(QDir(h.dataDir()).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The log files in the data folder, whatever their case; a directory in their place too.
    QStringList logFiles() const
    {
        return QDir(h.dataDir())
            .entryList({ u"admlog.ini"_s, u"lastbkup.dat"_s },
                       QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }

    Harness h;
};

TEST_F(MessagesTest, AskYesNoAsksWithNoAsTheDefault)
{
    struct Case
    {
        QList<bool> queued;
        qint16 answer;
    };
    const Case cases[] = {
        { {}, 7 }, // Enter on the default button
        { { true }, 6 },
        { { false }, 7 },
    };
    for (const Case &c : cases) {
        h.clearDialogs();
        h.queueAnswers(c.queued);
        state().MsgText = u"Start a new batch?\nThe count goes back to 0."_s;
        state().MsgTitle = u"New Batch"_s;
        state().MsgAnswer = 0;
        AskYesNo();
        EXPECT_EQ(state().MsgAnswer, c.answer);
        ASSERT_EQ(h.dialogs().size(), 1);
        const testkit::Dialog box = h.dialogs().at(0);
        EXPECT_EQ(box.kind, DialogKind::Question);
        EXPECT_EQ(box.icon, DialogIcon::Question);
        EXPECT_EQ(box.title, u"New Batch"_s);
        EXPECT_EQ(box.text, u"Start a new batch?\nThe count goes back to 0."_s);
    }
}

TEST_F(MessagesTest, RefusalBoxes)
{
    state().MsgText = u"ziplet module is not installed"_s;
    ShowCritical();
    ShowAccessDenied();
    EXPECT_EQ(state().MsgText, u"Access denied."_s);

    ASSERT_EQ(h.dialogs().size(), 2);
    const testkit::Dialog critical = h.dialogs().at(0);
    EXPECT_EQ(critical.kind, DialogKind::Message);
    EXPECT_EQ(critical.icon, DialogIcon::Critical);
    EXPECT_EQ(critical.title, u"Varnest"_s);
    EXPECT_EQ(critical.text, u"ziplet module is not installed"_s);
    const testkit::Dialog denied = h.dialogs().at(1);
    EXPECT_EQ(denied.kind, DialogKind::Message);
    EXPECT_EQ(denied.icon, DialogIcon::Information);
    EXPECT_EQ(denied.title, u"Varnest"_s);
    EXPECT_EQ(denied.text, u"Access denied."_s);
}

TEST_F(MessagesTest, ReportErrorShowsTheCodeWithTheWholeTableAndLogsIt)
{
    state().ErrNumber = 3022;
    state().ErrDescription = Duplicate;
    ReportError();

    ASSERT_EQ(h.dialogs().size(), 1);
    const testkit::Dialog box = h.dialogs().at(0);
    EXPECT_EQ(box.kind, DialogKind::Message);
    EXPECT_EQ(box.icon, DialogIcon::Information);
    EXPECT_EQ(box.title, u"Varnest Codes"_s);
    EXPECT_EQ(box.text,
              u"Code 3022 - "_s + Duplicate
                  + u"\n\n"
                    u"FYI - other possible codes and their explanations\n"
                    u"    13 = An alpha character exists for a numeric field\n"
                    u"    53 = A database is missing. Call Pellmoor.\n"
                    u"3018 = Data field is missing. Call Pellmoor.\n"
                    u"3021 = There is no data available\n"
                    u"3022 = Duplicate: the number for this record already exists\n"
                    u"3024 = Data file or table is missing. Run UPDATE\n"
                    u"3043 = Exit Varnest, restart and try again.\n"
                    u"3049 = Corrupt database - use the Database Repair Tool\n"
                    u"3186-3188 = Another user is using this database. Try again later.\n"
                    u"3000 or 8194 = A database is locked by another user. Try again later.\n"
                    u"3420 = Close and restart the module to try again.\n"
                    u"20500-20900 = Crystal Report errors. Try restarting the computer. \n"
                    u"Other codes - call Pellmoor"_s);

    // The log gets the code and description only, as one line.
    EXPECT_EQ(
        fileText(u"admlog.ini"_s),
        (u"03-01-2024-14:05:09-JONES-A/R Chit-Code 3022 - "_s + Duplicate + u"\r\n"_s).toUtf8());
    EXPECT_EQ(state().MsgText, u"Code 3022 - "_s + Duplicate + u"\n\n"_s);
    // What follows is the caller's decision: the error is still the one being handled.
    EXPECT_EQ(state().ErrNumber, 3022);
    EXPECT_EQ(state().ErrDescription, Duplicate);
}

TEST_F(MessagesTest, ReportErrorWithoutAnErrorDoesNothing)
{
    state().MsgText = u"unchanged"_s;
    ReportError();
    EXPECT_TRUE(h.dialogs().isEmpty());
    EXPECT_TRUE(logFiles().isEmpty()) << logFiles().join(u' ').toStdString();
    EXPECT_EQ(state().MsgText, u"unchanged"_s);
}

TEST_F(MessagesTest, UnwritableLogIsAnErrorForTheCallerButNotForReportError)
{
    ASSERT_TRUE(QDir(h.dataDir()).mkdir(u"admlog.ini"_s));
    state().MsgText = u"lost"_s;
    EXPECT_FALSE(LogActivity());
    EXPECT_EQ(state().ErrNumber, 75);

    state().ErrNumber = 3186;
    state().ErrDescription = u"Couldn't save; currently locked by user 'admin'."_s;
    ReportError();
    EXPECT_EQ(h.dialogs().size(), 1);
    EXPECT_EQ(state().ErrNumber, 3186);
    EXPECT_EQ(state().ErrDescription, u"Couldn't save; currently locked by user 'admin'."_s);
}

TEST_F(MessagesTest, LogActivityChoosesTheFileByLocation)
{
    struct Case
    {
        QString location;
        QString file;
    };
    const Case cases[] = {
        { u"Backup/Restore"_s, u"lastbkup.dat"_s },
        { u"A/R Chit"_s, u"admlog.ini"_s },
        { u"backup/restore"_s, u"admlog.ini"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.location.toStdString());
        for (const QString &name : logFiles())
            QFile::remove(QDir(h.dataDir()).filePath(name));
        state().LocationText = c.location;
        state().MsgText = u"WARNING - PREMATURE USER TERMINATION OF BACKUP PROCEDURE"_s;
        EXPECT_TRUE(LogActivity());
        EXPECT_EQ(logFiles(), QStringList { c.file });
        EXPECT_EQ(fileText(c.file),
                  (u"03-01-2024-14:05:09-JONES-"_s + c.location
                   + u"-WARNING - PREMATURE USER TERMINATION OF BACKUP PROCEDURE\r\n"_s)
                      .toUtf8());
    }
}

TEST_F(MessagesTest, LogActivityAppendsToTheFileTheSuiteAlreadyHas)
{
    {
        QFile old(QDir(h.dataDir()).filePath(u"ADMLOG.INI"_s));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier line\r\n");
    }
    h.setToday(QDate(2023, 12, 9));
    h.fake().time = QTime(23, 0, 7);
    state().MsgText = u"first"_s;
    ASSERT_TRUE(LogActivity());
    h.fake().time = QTime(23, 0, 8);
    state().MsgText = u"second"_s;
    ASSERT_TRUE(LogActivity());

    EXPECT_EQ(logFiles(), QStringList { u"ADMLOG.INI"_s });
    EXPECT_EQ(fileText(u"ADMLOG.INI"_s),
              QByteArray("earlier line\r\n"
                         "12-09-2023-23:00:07-JONES-A/R Chit-first\r\n"
                         "12-09-2023-23:00:08-JONES-A/R Chit-second\r\n"));
}

} // namespace
