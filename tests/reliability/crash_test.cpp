// A writer killed at random moments while it posts (tallic-postloop, the entry window keyed
// in its own process): the database stays sound, every chit whose post had returned is
// stored once and whole, and the next start works. TALLIC_SOAK=1 kills 1,000 writers.
#include "store/sqlitefiles.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
#include <random>

using namespace Qt::Literals::StringLiterals;
using namespace tallic::testkit;

namespace {

// One writer on the data folder; the writers share a runtime folder, and with it the
// single-instance lock, as the same workstation started again.
class Writer
{
public:
    Writer(const QString &folder, const QString &runtime, int count, const QString &prefix)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TALLIC_POSTLOOP_PATH),
                      { folder, QString::number(count), prefix });
    }
    ~Writer() { kill(); }

    // Whether the writer said a chit was stored before it ended.
    bool waitForAPost()
    {
        while (!output.contains("stored ") && process.waitForReadyRead(60000))
            output += process.readAllStandardOutput();
        return output.contains("stored ");
    }
    // The count of chits the writer said were stored before it died.
    int kill()
    {
        if (process.state() != QProcess::NotRunning)
            ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished();
        output += process.readAllStandardOutput();
        return int(output.count("stored "));
    }

    QProcess process;
    QByteArray output;
};

// After the kills so far: the file is sound, every row is a whole chit, and each writer's
// chits are numbered from 1 without a gap or a double: those it said were stored, and at
// most one more, the post that the kill cut short.
void expectEveryPostedChitOnce(const QString &folder, const QMap<int, int> &said)
{
    QMap<int, QList<int>> serials;
    QStringList torn;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"ledger"_s);
        db.setDatabaseName(QDir(folder).filePath(u"daily.mdb"_s));
        QSqlQuery q(db);
        ASSERT_TRUE(db.open());
        tallic::setUpSuiteFile(db);
        ASSERT_TRUE(q.exec(u"pragma busy_timeout = 20000"_s));
        ASSERT_TRUE(q.exec(u"pragma integrity_check"_s) && q.next());
        EXPECT_EQ(q.value(0).toString(), u"ok"_s);
        ASSERT_TRUE(q.exec(u"pragma journal_mode"_s) && q.next());
        EXPECT_EQ(q.value(0).toString(), u"wal"_s);
        // Every chit the writers post is the same but for its number.
        static const QRegularExpression number(u"^W(\\d+)N(\\d+)$"_s);
        QVariantList first;
        ASSERT_TRUE(q.exec(u"select * from ardaily order by rowid"_s));
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < 18; ++i)
                row << q.value(i);
            const QString chit = row.takeAt(1).toString();
            const QRegularExpressionMatch match = number.match(chit);
            if (first.isEmpty())
                first = row;
            if (match.hasMatch() && row == first)
                serials[match.captured(1).toInt()] << match.captured(2).toInt();
            else
                torn << chit;
        }
        expectRow(first,
                  { u"4100"_s, u"20240312"_s, u"1001"_s, u"0"_s, u"0"_s, u"10"_s, u"1.8"_s,
                    u"0.71"_s, u"12.51"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u" "_s,
                    u"JONES10:15:00"_s, u"null"_s, u"9"_s });
    }
    QSqlDatabase::removeDatabase(u"ledger"_s);
    EXPECT_EQ(torn, QStringList());
    for (auto it = said.cbegin(); it != said.cend(); ++it) {
        const QList<int> stored = serials.value(it.key());
        for (qsizetype i = 0; i < stored.size(); ++i)
            EXPECT_EQ(stored.at(i), i + 1) << "writer " << it.key();
        EXPECT_TRUE(stored.size() == it.value() || stored.size() == it.value() + 1)
            << "writer " << it.key() << " said " << it.value() << ", stored " << stored.size();
    }
}

TEST(CrashTest, AWriterKilledAtRandomKeepsEveryPostThatReturnedAndStartsAgain)
{
    const int kills = qEnvironmentVariableIntValue("TALLIC_SOAK") > 0 ? 1000 : 100;
    QTemporaryDir data, runtime;
    const QString journal = QDir(data.path()).filePath(u"daily.mdb-journal"_s);
    const QString log = QDir(data.path()).filePath(u"daily.mdb-wal"_s);
    std::mt19937 random(20240312);
    QMap<int, int> said;
    int logsLeft = 0, posts = 0;
    for (int w = 1; w <= kills && !testing::Test::HasFailure(); ++w) {
        SCOPED_TRACE(w);
        Writer writer(data.path(), runtime.path(), 0, u"W%1N"_s.arg(w));
        // It took over the lock the last one left, and replayed the log of its commits.
        ASSERT_TRUE(writer.waitForAPost()) << writer.process.readAllStandardError().constData();
        if (w > 1)
            expectEveryPostedChitOnce(data.path(), said);
        QThread::msleep(std::uniform_int_distribution<unsigned>(0, 100)(random));
        // Alive until the kill: a sanitizer's report ends a writer by itself.
        EXPECT_EQ(writer.process.state(), QProcess::Running)
            << writer.process.readAllStandardError().constData();
        posts += said[w] = writer.kill();
        // A kill leaves the log, never a rollback journal.
        logsLeft += QFileInfo(log).size() > 0;
        EXPECT_FALSE(QFileInfo::exists(journal));
    }
    // The start after the last kill, ended as the operator ends it.
    Writer last(data.path(), runtime.path(), 1, u"W0N"_s);
    EXPECT_TRUE(last.process.waitForFinished(60000));
    EXPECT_EQ(last.process.exitCode(), 0) << last.process.readAllStandardError().constData();
    EXPECT_EQ(said[0] = last.kill(), 1);
    posts += said[0];
    // The end copied the log into the file.
    EXPECT_FALSE(QFileInfo::exists(journal) || QFileInfo::exists(log));
    expectEveryPostedChitOnce(data.path(), said);
    std::printf("%d kills, %d logs replayed by the next writer, %d chits posted\n", kills, logsLeft,
                posts);
}

} // namespace
