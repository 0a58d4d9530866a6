#include "platform/qtplatform.h"
#include "platform/runtime.h"
#include "platform/singleinstance.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace tallic {
namespace {

// A fresh working folder for each test; the old one comes back afterwards.
class WorkingFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
    }
    void TearDown() override { QDir::setCurrent(previous); }

    void write(const QString &name, const QByteArray &contents, bool executable = false)
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }
    void script(const QString &name, const QByteArray &body)
    {
        write(name, "#!/bin/sh\n" + body + '\n', true);
    }

    QTemporaryDir dir;
    QString previous;
    QtPlatform real;
};

TEST_F(WorkingFolderTest, FindsFilesWhateverTheirLetterCase)
{
    for (const auto &name : { u"daily.mdb"_s, u"dalmore.exe"_s, u"Report.TXT"_s, u"tool.exe"_s,
                              u"TOOL.EXE"_s, u".hidden"_s })
        write(name, "x");
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"ledger.dat"_s));
    write(u"ledger.dat/inner.txt"_s, "x");

    const struct
    {
        QString asked;
        QString found;
    } cases[] = {
        { u"DAILY.MDB"_s, u"daily.mdb"_s },
        { u"Dalmore.EXE"_s, u"dalmore.exe"_s },
        { u"report.txt"_s, u"Report.TXT"_s },
        { u"tool.exe"_s, u"tool.exe"_s },
        { u"TOOL.EXE"_s, u"TOOL.EXE"_s },
        { u".HIDDEN"_s, u".hidden"_s },
        { u"missing.exe"_s, QString() },
        { u"LEDGER.DAT"_s, QString() },
        { u"ledger.dat/inner.txt"_s, QString() },
        { u"../daily.mdb"_s, QString() },
        { QString(), QString() },
        { u"."_s, QString() },
    };
    for (const auto &c : cases) {
        const QString expected = c.found.isEmpty() ? QString() : dir.filePath(c.found);
        EXPECT_EQ(findInWorkingFolder(c.asked), expected) << qPrintable(c.asked);
        EXPECT_EQ(real.fileExists(c.asked), !c.found.isEmpty()) << qPrintable(c.asked);
    }
    // Either spelling will do when neither matches exactly.
    EXPECT_TRUE(findInWorkingFolder(u"Tool.Exe"_s).endsWith(u"tool.exe"_s, Qt::CaseInsensitive));
}

TEST(CommandLineTest, TheProgramGetsItsArgumentsAsWritten)
{
    const struct
    {
        QString line;
        QStringList parts;
    } cases[] = {
        { u"ombrel.exe AR"_s, { u"ombrel.exe"_s, u"AR"_s } },
        { u"  prastle.exe   WJX05JOHN SMITH  7 "_s, { u"prastle.exe"_s, u"WJX05JOHN SMITH  7 "_s } },
        { u"ziplet.exe JONES@tallic 21.12.28a     SysUser: 5"_s,
          { u"ziplet.exe"_s, u"JONES@tallic 21.12.28a     SysUser: 5"_s } },
        { u"dalmore.exe"_s, { u"dalmore.exe"_s } },
        { u"   "_s, {} },
        { QString(), {} },
    };
    for (const auto &c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.parts) << qPrintable(c.line);
}

TEST_F(WorkingFolderTest, RunAndWaitAnswersTheExitCode)
{
    script(u"tool.exe"_s, "exit 3");
    script(u"code.exe"_s, "exit $1");
    script(u"crash.exe"_s, "kill -9 $$");
    write(u"plain.exe"_s, "#!/bin/sh\nexit 0\n", false);

    const struct
    {
        QString line;
        int code;
    } cases[] = {
        { u"tool.exe"_s, 3 },      { u"TOOL.EXE"_s, 3 },   { u"code.exe 42"_s, 42 },
        { u" code.exe  0 "_s, 0 }, { u"crash.exe"_s, -1 }, { u"plain.exe"_s, -1 },
        { u"missing.exe"_s, -1 },  { QString(), -1 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(real.runAndWait(c.line), c.code) << qPrintable(c.line);
}

TEST_F(WorkingFolderTest, RunAndWaitStopsWaitingWhenTheProgramEnds)
{
    script(u"slow.exe"_s, "exec sleep 5");
    QTimer::singleShot(100, [] { endProgram(); });
    QElapsedTimer clock;
    clock.start();
    const int code = real.runAndWait(u"slow.exe"_s);
    const qint64 waited = clock.elapsed();
    resetProgramState();
    EXPECT_EQ(code, -1);
    EXPECT_LT(waited, 3000);
}

TEST_F(WorkingFolderTest, StartProgramRunsItInTheWorkingFolderWithItsArguments)
{
    script(u"dalmore.exe"_s, "printf '%s\\n' \"$@\" > started.tmp && mv started.tmp started.txt");
    EXPECT_FALSE(real.startProgram(u"missing.exe AR"_s, WindowStyle::Normal));
    ASSERT_TRUE(real.startProgram(u"DALMORE.EXE AR  WJX05"_s, WindowStyle::Maximized));

    QFile started(dir.filePath(u"started.txt"_s));
    QTRY_VERIFY_WITH_TIMEOUT(started.exists(), 5000);
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    // The arguments arrive as written, blanks included: one argument.
    EXPECT_EQ(started.readAll(), "AR  WJX05\n");
}

// Another process that holds the lock until it is killed.
class LockHolder
{
public:
    explicit LockHolder(const QString &lockPath)
    {
        process.start(QStringLiteral(LOCKHOLDER_PATH), { lockPath });
        if (process.waitForStarted() && process.waitForReadyRead(10000))
            ready = process.readLine() == "ready\n";
    }
    void crash()
    {
        process.kill();
        process.waitForFinished();
    }

    QProcess process;
    bool ready = false;
};

TEST(SingleInstanceTest, OnlyOneHolderAtATimeAndADeadOneIsTakenOver)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"tallic.lock"_s);
    LockHolder other(path);
    ASSERT_TRUE(other.ready);
    EXPECT_FALSE(SingleInstance(path).claim());

    other.crash();
    auto first = std::make_unique<SingleInstance>(path);
    EXPECT_TRUE(first->claim());
    EXPECT_TRUE(first->claim());
    SingleInstance second(path);
    EXPECT_FALSE(second.claim());
    first.reset();
    EXPECT_TRUE(second.claim());
}

TEST(SingleInstanceTest, TakesOverALockFileLeftHalfWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"tallic.lock"_s);
    QFile empty(path);
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_TRUE(SingleInstance(path).claim());
}

TEST(SingleInstanceTest, PlatformClaimsOneLockPerUserSession)
{
    QTemporaryDir runtime;
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString path = SingleInstance::defaultLockPath();
    EXPECT_TRUE(path.startsWith(runtime.path() + u'/')) << qPrintable(path);

    LockHolder other(path);
    ASSERT_TRUE(other.ready);
    QtPlatform real;
    EXPECT_FALSE(real.claimSingleInstance());
    other.crash();
    EXPECT_TRUE(real.claimSingleInstance());
    EXPECT_TRUE(real.claimSingleInstance());

    if (previous.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", previous);
}

// Answers the next modal box as the operator would, once it is on the screen.
void whenBoxShows(std::function<void(QWidget *)> answer)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        poll->deleteLater();
        poll->stop();
        answer(box);
        // A box the answer did not close would hang the test.
        QTimer::singleShot(2000, box, [box] {
            ADD_FAILURE() << "the box stayed open";
            box->close();
        });
    });
    poll->start();
}

TEST(BoxTest, MessageBoxAnswersAsTheOperatorChose)
{
    enum Action { Enter, Escape, ClickYes, ClickNo };
    const struct
    {
        BoxButtons buttons;
        Action action;
        int answer;
    } cases[] = {
        { BoxButtons::Ok, Enter, AnswerOk },        { BoxButtons::Ok, Escape, AnswerOk },
        { BoxButtons::YesNo, Enter, AnswerNo },     { BoxButtons::YesNo, Escape, AnswerNo },
        { BoxButtons::YesNo, ClickYes, AnswerYes }, { BoxButtons::YesNo, ClickNo, AnswerNo },
    };
    QtPlatform real;
    for (const auto &c : cases) {
        whenBoxShows([&c](QWidget *widget) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            ASSERT_TRUE(box);
            EXPECT_EQ(box->windowTitle(), u"Chits"_s);
            EXPECT_EQ(box->text(), u"Post the chit?"_s);
            EXPECT_EQ(box->icon(), QMessageBox::Question);
            switch (c.action) {
            case Enter:
                QTest::keyClick(box, Qt::Key_Return);
                break;
            case Escape:
                QTest::keyClick(box, Qt::Key_Escape);
                break;
            case ClickYes:
                QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
                break;
            case ClickNo:
                QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
                break;
            }
        });
        EXPECT_EQ(real.messageBox(u"Post the chit?"_s, u"Chits"_s, BoxIcon::Question, c.buttons),
                  c.answer)
            << int(c.action);
    }
}

} // namespace
} // namespace tallic
