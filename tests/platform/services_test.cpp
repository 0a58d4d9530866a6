#include "platform/qtplatform.h"
#include "platform/runtime.h"
#include "platform/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

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
    // Just written, the folder is read on every look; settled, it is answered from the
    // listing kept by its time, which a file added or taken away puts out of date at once.
    for (const bool settled : { false, true }) {
        if (settled)
            QThread::msleep(100);
        for (const auto &c : cases) {
            const QString expected = c.found.isEmpty() ? QString() : dir.filePath(c.found);
            EXPECT_EQ(findInWorkingFolder(c.asked), expected) << qPrintable(c.asked) << settled;
            EXPECT_EQ(real.fileExists(c.asked), !c.found.isEmpty()) << qPrintable(c.asked);
        }
        // Either spelling will do when neither matches exactly.
        EXPECT_TRUE(
            findInWorkingFolder(u"Tool.Exe"_s).endsWith(u"tool.exe"_s, Qt::CaseInsensitive));
    }
    write(u"Tallic.INI"_s, "x");
    ASSERT_TRUE(QFile::remove(dir.filePath(u"Report.TXT"_s)));
    EXPECT_EQ(findInWorkingFolder(u"tallic.ini"_s), dir.filePath(u"Tallic.INI"_s));
    EXPECT_EQ(findInWorkingFolder(u"report.txt"_s), QString());
}

TEST(CommandLineTest, TheProgramGetsItsArgumentsAsWritten)
{
    const struct
    {
        QString line;
        QStringList parts;
    } cases[] = {
        { u"ombrel.exe AR"_s, { u"ombrel.exe"_s, u"AR"_s } },
        { u"  prastle.exe   WJX05JOHN SMITH  7 "_s,
          { u"prastle.exe"_s, u"WJX05JOHN SMITH  7 "_s } },
        { u"ziplet.exe JONES@tallic 21.12.28a     SysUser: 5"_s,
          { u"ziplet.exe"_s, u"JONES@tallic 21.12.28a     SysUser: 5"_s } },
        { u"dalmore.exe"_s, { u"dalmore.exe"_s } },
        { u"   "_s, {} },
        { QString(), {} },
    };
    for (const auto &c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.parts) << qPrintable(c.line);
}

TEST_F(WorkingFolderTest, RunAndWaitAnswersTheExitCodeAndAWatchedProgramIsSeenToEnd)
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

    // A program started under watch runs until it ends, seen without the event loop.
    script(u"nap.exe"_s, "sleep 0.5");
    const qint64 nap = real.startWatchedProgram(u"nap.exe"_s, WindowStyle::Normal);
    EXPECT_TRUE(nap != 0 && real.programRunning(nap));
    QTest::qSleep(1500);
    EXPECT_FALSE(real.programRunning(nap));
    EXPECT_EQ(real.startWatchedProgram(u"missing.exe"_s, WindowStyle::Normal), 0);
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

// One copy of the program per user session; a lock file left half written, or by a copy
// that died, holds nothing.
TEST(SingleInstanceTest, OneCopyPerUserSessionAndADeadOneIsTakenOver)
{
    QTemporaryDir runtime;
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString path = SingleInstance::defaultLockPath();
    EXPECT_TRUE(path.startsWith(runtime.path() + u'/')) << qPrintable(path);
    {
        QFile halfWritten(path);
        ASSERT_TRUE(halfWritten.open(QIODevice::WriteOnly));
        QtPlatform first;
        EXPECT_TRUE(first.claimSingleInstance().claimed());
    }
    LockHolder other(path);
    ASSERT_TRUE(other.ready);
    QtPlatform real;
    EXPECT_EQ(real.claimSingleInstance().outcome, InstanceClaim::OtherCopyRunning);
    other.crash();
    EXPECT_TRUE(real.claimSingleInstance().claimed());
    EXPECT_TRUE(real.claimSingleInstance().claimed());

    // A lock file that cannot be made is said to be that, with its name.
    QFile notAFolder(runtime.filePath(u"file"_s));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    const QString blocked = notAFolder.fileName() + u"/tallic.lock"_s;
    const InstanceClaim failed = SingleInstance(blocked).claim();
    EXPECT_EQ(failed.outcome, InstanceClaim::LockFailed);
    EXPECT_TRUE(failed.problem.startsWith(blocked + u": "_s)) << qPrintable(failed.problem);

    if (previous.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", previous);
}

} // namespace
} // namespace tallic
