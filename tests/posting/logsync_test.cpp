// A posted chit's log goes to the disk after the commit has let the write lock go, and
// before the operator has the screen back; a chit reported stored survives a power cut.
#include "store/database.h"
#include "store/schema.h"
#include "testkit/harness.h"
#include "testkit/powercut.h"
#include "testkit/world.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

// The daily file's log in the harness's folder, as SQLite names it.
QString dailyLog(const Harness &h)
{
    return QFileInfo(findSuiteFile(h.dataDir(), u"daily.mdb"_s)).canonicalFilePath() + u"-wal"_s;
}

// The day's first chit, stored while the disk is sound: the log has begun, and the next
// commit's sync is the only one (SQLite syncs a log's first page itself, inside the commit).
void postFirstChit(Harness &h)
{
    keyChit(h, u"4100"_s, u"D0"_s, u"1001"_s, u"5"_s);
    h.click(u"cmdokay"_s);
}

// Another workstation stores a row without waiting for the lock, and leaves its log to
// others: it syncs nothing itself.
bool writeAsAnotherWorkstation(const QString &daily)
{
    bool wrote = false;
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        other.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=0"_s);
        other.setDatabaseName(daily);
        QSqlQuery q(other);
        wrote = other.open() && q.exec(u"pragma synchronous = off"_s)
            && q.exec(u"insert into ardaily values (4100, 'OTHER', 20240312, 1001, 0, 0, 10, "
                      u"1.8, .71, 12.51, 0, 0, 0, 0, ' ', 'X', null, 9)"_s);
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    return wrote;
}

// The chit numbers of the daily file as a power cut now would leave it, in the order stored.
QStringList chitsAfterCut(PowerCutDisk &disk, const Harness &h)
{
    const QString folder = disk.cut(h.dataDir());
    QStringList numbers;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"after-cut"_s);
        db.setDatabaseName(findSuiteFile(folder, u"daily.mdb"_s));
        QSqlQuery q(db);
        EXPECT_TRUE(db.open() && q.exec(u"select tallicnum from ardaily order by rowid"_s));
        while (q.next())
            numbers << q.value(0).toString();
    }
    QSqlDatabase::removeDatabase(u"after-cut"_s);
    return numbers;
}

QString disk(const QString &chit, const QString &outcome)
{
    return u"The disk reported an error while chit "_s + chit
        + u" was being written to DAILY.MDB:\ndisk I/O error (code 1034)\n\nIt is in the "
          u"database, "_s
        + outcome + u" Have the disk checked before going on."_s;
}

} // namespace

// The disk under the daily log is slow while a chit is posted, so that a post that does not
// wait for it is caught by a power cut right after; meanwhile another workstation stores a
// row, and must not have to wait for this one's disk. A statement asking the program's own
// connection to checkpoint on commit, which would take the place of its sync, is refused.
TEST(PostingStoreTest, AChitIsOnTheDiskBeforeTheScreenIsBackAndOthersWriteMeanwhile)
{
    struct Case
    {
        const char *name;
        QString tried; // on the program's own connection first
        bool failsOnce; // the post's sync fails, the disk takes the chit again at once
    };
    const Case cases[] = {
        { "a sound disk", {}, false },
        { "a checkpoint on commit asked for", u"pragma wal_autocheckpoint = 1000"_s, false },
        { "a disk that fails once", {}, true },
    };
    for (const Case &c : cases) {
        Harness h;
        if (h.onServer())
            GTEST_SKIP() << "a server syncs its own log";
        PowerCutDisk cutDisk;
        startMarch2024(h);
        postFirstChit(h);
        keyChit(h, u"4100"_s, u"D1"_s, u"1001"_s, u"10"_s);
        h.clearDialogs();
        if (!c.tried.isEmpty()) {
            SuiteDb own(u"daily.mdb"_s);
            EXPECT_FALSE(own.exec(c.tried).ok()) << c.name;
        }
        std::atomic<int> syncs { 0 };
        std::atomic<bool> othersWrote { false };
        const QString daily = findSuiteFile(h.dataDir(), u"daily.mdb"_s), log = dailyLog(h);
        cutDisk.onSync([&](const QString &path) {
            if (path != log || ++syncs > 1)
                return true;
            othersWrote = writeAsAnotherWorkstation(daily);
            QThread::msleep(100);
            return !c.failsOnce;
        });
        h.click(u"cmdokay"_s);
        EXPECT_EQ(chitsAfterCut(cutDisk, h), (QStringList { u"D0"_s, u"D1"_s, u"OTHER"_s }))
            << c.name;
        cutDisk.onSync({});

        // One sync a post, as SQLite's own at the commit was.
        EXPECT_EQ(syncs, c.failsOnce ? syncs.load() : 1) << c.name;
        EXPECT_TRUE(othersWrote) << c.name;
        // The chit is in the database either way: it is counted, not to be keyed twice.
        EXPECT_EQ(h.control(u"Text5"_s).text, u"2"_s) << c.name;
        EXPECT_EQ(h.control(u"txtprev(2)"_s).text, u"D1"_s) << c.name;
        EXPECT_EQ(h.focused(), u"Text1(1)"_s) << c.name;
        const QList<Dialog> boxes { box(u"Disk error"_s,
                                        disk(u"D1"_s,
                                             u"and it has been written to the disk again "
                                             u"since."_s),
                                        DialogIcon::Critical) };
        EXPECT_EQ(h.dialogs(), c.failsOnce ? boxes : QList<Dialog>()) << c.name;
    }
}

// After a failed sync nothing more is stored in the file, not even a chit whose own sync
// would succeed (it would sit behind what the disk dropped), until the log is copied into
// the file and both are on the disk. Every chit reported stored survives a power cut then.
TEST(PostingStoreTest, AFailedSyncStopsPostingUntilTheLogIsOnTheDisk)
{
    Harness h;
    if (h.onServer())
        GTEST_SKIP() << "a server syncs its own log";
    PowerCutDisk cutDisk;
    startMarch2024(h);
    postFirstChit(h);
    cutDisk.onSync([](const QString &) { return false; });
    keyChit(h, u"4100"_s, u"S1"_s, u"1001"_s, u"10"_s);
    h.clearDialogs();
    h.click(u"cmdokay"_s);
    EXPECT_EQ(h.dialogs(),
              QList { box(u"Disk error"_s,
                          disk(u"S1"_s,
                               u"but it may be lost if the computer stops. Nothing more is stored "
                               u"in DAILY.MDB until the disk takes it."_s),
                          DialogIcon::Critical) });
    EXPECT_EQ(h.control(u"Text5"_s).text, u"2"_s);

    const QString refused = u"The disk reported an error while DAILY.MDB was being written, and "
                            u"what it may have lost cannot be written again yet: nothing more is "
                            u"stored in DAILY.MDB until it can. Have the disk checked."_s;
    keyChit(h, u"4100"_s, u"S2"_s, u"1001"_s, u"10"_s);
    for (int post = 1; post <= 2; ++post) {
        h.clearDialogs();
        h.click(u"cmdokay"_s);
        EXPECT_EQ(h.dialogs(),
                  QList { box(u"Chit not stored"_s,
                              u"Chit S2 was not stored:\n"_s + refused
                                  + u" (code 3010)\n\nThe chit stays on the screen. Press OK to "
                                    u"post it again."_s,
                              DialogIcon::Critical) })
            << post;
        EXPECT_EQ(h.control(u"Text1(2)"_s).text, u"S2"_s) << post;
        EXPECT_EQ(h.control(u"Text5"_s).text, u"2"_s) << post;
    }
    // A write that does not ask first is refused all the same.
    {
        SuiteDb own(u"daily.mdb"_s);
        const Result<void> written = own.exec(u"insert into ardaily (tallicnum) values ('X')"_s);
        EXPECT_EQ(written ? QString() : written.failure().description, refused);
    }

    cutDisk.onSync({});
    h.clearDialogs();
    h.click(u"cmdokay"_s);
    keyChit(h, u"4100"_s, u"S3"_s, u"1001"_s, u"10"_s);
    h.click(u"cmdokay"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
    EXPECT_EQ(h.control(u"Text5"_s).text, u"4"_s);
    EXPECT_EQ(chitsAfterCut(cutDisk, h), (QStringList { u"D0"_s, u"S1"_s, u"S2"_s, u"S3"_s }));

    QFile log(QDir(h.dataDir()).filePath(u"admlog.ini"_s));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(lines.contains(u"-Disk error while chit S1 was being written to DAILY.MDB: disk "
                               u"I/O error (code 1034). Not on the disk yet"_s))
        << qPrintable(lines);
    EXPECT_TRUE(lines.contains(u"-DAILY.MDB written to the disk again after a disk error"_s))
        << qPrintable(lines);
}
