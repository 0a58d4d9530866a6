// The workspace editor on the demo club, used as the operator uses it: a day's chits batch by
// batch, corrections posted as the entry screen would post them, changes only to the row
// seen, and the batch proof.
#include "store/folderlock.h"

#include "testkit/harness.h"
#include "testkit/powercut.h"
#include "testkit/world.h"
#include "workspace.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic::workspace;
using tallic::testkit::Harness;
using tallic::testkit::PowerCutDisk;

namespace {

const QString Insert = u"insert into ardaily (arglacct, tallicnum, architdate, armember, "
                       u"aremployee, arbasesale, arsrvchg, artax, artotal, arorigin, arsource) "
                       u"values "_s;

// The editor on a day, 20240312 unless told, started as the entry window starts it.
std::unique_ptr<WorkspaceWindow> openEditor(Harness &h, const QString &level = u"99"_s,
                                            const QString &date = u"20240312"_s)
{
    h.setClipboard(date);
    int exitCode = -1;
    return startEditor(u"WJX"_s + level + u"JONES"_s, exitCode);
}

// The operator puts the cursor on a cell of the list and presses a button.
void press(WorkspaceWindow &window, const QString &button, int row = -1, int column = 5)
{
    auto *list = window.findChild<QTableView *>(u"rows"_s);
    if (row >= 0)
        list->setCurrentIndex(list->model()->index(row, column));
    window.findChild<QPushButton *>(button)->click();
}

// Food (4100): service charge 18 %, tax 6 %, the service charge taxed in full; 1035 is exempt
// (since the chit was posted), 1027 terminated.
TEST(WorkspaceTest, ACorrectionPostsAsTheEntryScreenWould)
{
    // The chit (number, member, base, service charge, tax, total), the list column corrected,
    // what is typed, the box that refuses it, the amounts stored then, the consolidation mode,
    // whether the disk fails to take the change (on files), whether an adjustment charges.
    const QString cases[][8] = {
        { u"'12', 1001, 25, 4.5, 1.77, 31.27"_s, u"5"_s, u"30"_s, {}, u"30 5.4 2.12 37.52"_s },
        { u"'12', 1035, 25, 4.5, 1.77, 31.27"_s, u"5"_s, u"30"_s, {}, u"30 5.4 0 35.4"_s },
        // Posted with the service charge bypassed: it stays so.
        { u"'12', 1001, 25, 0, 1.5, 26.5"_s, u"8"_s, u"30"_s, {}, u"30 0 1.8 31.8"_s },
        { u"'PAYMENT', 1002, -100, 0, 0, -100"_s, u"5"_s, u"40"_s, {}, u"-40 0 0 -40"_s },
        { u"'12', 1001, 25, 4.5, 1.77, 31.27"_s, u"5"_s, u"0"_s, u"Oops..."_s,
          u"25 4.5 1.77 31.27"_s },
        { u"'12', 1027, -10, -1.8, -.71, -12.51"_s, u"5"_s, u"10"_s, u"Terminated Member"_s,
          u"-10 -1.8 -0.71 -12.51"_s },
        { u"'12', 1001, 25, 4.5, 1.77, 31.27"_s, u"6"_s, u"3"_s, u"Workspace Editor"_s,
          u"25 4.5 1.77 31.27"_s },
        { u"'12', 1001, 25, 0, 0, 25"_s, u"6"_s, u"3"_s, {}, u"25 3 0 28"_s, u"Y"_s },
        // A blank mode consolidates, as the entry screen reads it.
        { u"'12', 1001, 25, 0, 0, 25"_s, u"6"_s, u"3"_s, {}, u"25 3 0 28"_s, u" "_s },
        { u"'ADJMENT', 1001, 10, 1.8, .71, 12.51"_s, u"5"_s, u"20"_s, QString(),
          u"20 3.6 1.42 25.02"_s, QString(), QString(), u"charges"_s },
        { u"'ADJMENT', 1001, 10, 1.8, .71, 12.51"_s, u"5"_s, u"20"_s, QString(),
          u"-20 -3.6 -1.42 -25.02"_s },
        // The change is made but may be lost: told so, and the next one is refused.
        { u"'12', 1001, 25, 4.5, 1.77, 31.27"_s, u"5"_s, u"30"_s, u"Disk error"_s,
          u"30 5.4 2.12 37.52"_s, QString(), u"fails"_s },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c[0] + u" typed "_s + c[2] + c[6]));
        Harness h;
        if (!c[6].isEmpty() && h.onServer())
            continue;
        PowerCutDisk disk;
        if (!c[5].isEmpty())
            h.exec(u"config"_s, u"update ar set arconsolidate = '%1'"_s.arg(c[5]));
        h.exec(u"daily"_s,
               u"insert into ardaily (arglacct, architdate, arorigin, tallicnum, armember, "
               u"arbasesale, arsrvchg, artax, artotal) values (4100, 20240312, 'B', "_s
                   + c[0] + u')');
        auto window = openEditor(h);
        ASSERT_TRUE(window);
        if (!c[6].isEmpty()) {
            tallic::testkit::beginLog(u"daily.mdb"_s);
            disk.onSync([](const QString &path) { return !path.endsWith(u"-wal"_s); });
        }
        h.queueInputs({ c[2] });
        if (c[0].startsWith(u"'ADJMENT'"_s))
            h.queueAnswers({ !c[7].isEmpty() });
        h.queueAnswers({ true });
        press(*window, u"correct"_s, 0, c[1].toInt());
        EXPECT_EQ(h.dialogTitles().last(), c[3].isEmpty() ? u"Workspace Editor"_s : c[3]);
        if (!c[6].isEmpty()) {
            EXPECT_TRUE(h.dialogs().last().text.contains(
                u"while chit 12 of 20240312 was being written to DAILY.MDB"_s));
            h.queueAnswers({ true });
            press(*window, u"delete"_s, 0);
            EXPECT_TRUE(h.dialogs().last().text.startsWith(
                u"The disk reported an error while DAILY.MDB was being written"_s));
        }
        // Each amount exactly the double nearest its cents.
        tallic::testkit::expectRow(
            h.rows(u"daily"_s, u"select arbasesale, arsrvchg, artax, artotal from ardaily"_s)
                .value(0),
            c[4].split(u' '));
        tallic::testkit::expectWholeCents(h);
    }
}

// A change is made only to the row as it was read, every column alike, and only once it is
// in the activity log: a row deleted meanwhile whose place a new row took (SQLite gives a
// deleted last row's rowid to the next row), each column changed from outside in turn, the
// last too, and a log that cannot be written are each refused, and the row is kept.
TEST(WorkspaceTest, AChangeIsMadeOnlyToTheRowAsReadAndOnlyWhenLogged)
{
    Harness h;
    h.exec(u"daily"_s,
           u"insert into ardaily values (4100, '12', 20240312, 1001, 3, 2, 25, 4.5, 1.77, 31.27, "
           u"1, 2, 3, 4, ' ', 'B', 'M', 9)"_s);
    h.exec(u"daily"_s,
           Insert + u"(4100, 'PAYMENT', 20240312, 1001, 0, -100, 0, 0, -100, 'B', 9)"_s);
    auto first = openEditor(h);
    auto second = openEditor(h);
    ASSERT_TRUE(first && second);
    const auto change = [&h](WorkspaceWindow &window, int row, const QString &refusal) {
        h.clearDialogs();
        h.queueAnswers({ true });
        press(window, u"delete"_s, row);
        EXPECT_EQ(h.dialogs().value(1).text, refusal);
    };
    const QString meanwhile = u"Another workstation changed or deleted this chit meanwhile, so "
                              u"nothing was changed. The chits are read again."_s;
    change(*second, 1, QString());
    // The server gives a row's place to a new one once VACUUM has freed it.
    if (h.onServer())
        h.exec(u"daily"_s, u"vacuum ardaily"_s);
    h.exec(u"daily"_s,
           Insert + u"(4100, 'PAYMENT', 20240312, 1002, 0, -100, 0, 0, -100, 'B', 9)"_s);
    change(*first, 1, meanwhile);
    ASSERT_EQ(first->day().rows().size(), 2);
    EXPECT_EQ(first->day().rows().at(1).number(3), 1002);

    const QStringList columns = first->day().columns();
    const QVariantList values = first->day().rows().at(0).values;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        SCOPED_TRACE(qPrintable(columns.at(i)));
        const QString &c = columns.at(i);
        const bool text = values.at(i).typeId() == QMetaType::QString;
        h.exec(u"daily"_s,
               u"update ardaily set %1 = %1 %2"_s.arg(c, text ? u"|| 'x'"_s : u"* 2"_s));
        change(*first, 0, meanwhile);
        h.exec(u"daily"_s,
               (u"update ardaily set %1 = "_s
                + (text ? u"substr(%1, 1, length(%1) - 1)"_s : u"%1 / 2"_s))
                   .arg(c));
        press(*first, u"reload"_s);
    }
    QFile log(QDir(h.dataDir()).filePath(u"admlog.ini"_s));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(log.readAll());
    ASSERT_TRUE(log.remove() && QDir(h.dataDir()).mkdir(u"admlog.ini"_s));
    change(*first, 0,
           u"The activity log (admlog.ini) cannot be written, so nothing was changed."_s);
    EXPECT_EQ(h.rows(u"daily"_s, u"select count(*) from ardaily"_s).value(0).value(0), 2);

    // The one deletion made is in the log, with the row as it was.
    EXPECT_EQ(lines.count(u"-JONES-Prastle-Chit PAYMENT of 20240312 deleted. Before: "_s), 1)
        << qPrintable(lines);
    EXPECT_TRUE(lines.contains(u"armember=1001, aremployee=0, arcovers=Null, arbasesale=-100"_s))
        << qPrintable(lines);
}

QString activityLog(const Harness &h)
{
    QFile log(QDir(h.dataDir()).filePath(u"admlog.ini"_s));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

// Beyond single corrections, a batch as a whole: the header proves the day per operator;
// Delete batch asks once with the batch's count and totals, Move batch takes a date held to
// the open month, and back; each touches every row of the batch and no other, every row in
// the activity log. A batch another workstation changed since it was read (a row changed,
// a row added to it) is neither deleted nor moved.
TEST(WorkspaceTest, ABatchIsDeletedOrMovedWholeAndOnlyAsRead)
{
    const QString rows = Insert
        + u"(4100, '1', 20240312, 1001, 0, 10, 1.8, .71, 12.51, 'JONES10:15:00', 9), "
          u"(4100, '2', 20240312, 1002, 0, 20, 3.6, 1.42, 25.02, 'JONES10:15:00', 9), "
          u"(4100, '3', 20240312, 1003, 0, 50, 9, 3.54, 62.54, 'SMITH11:00:00', 9)"_s;
    const QString meanwhile[] = {
        u"update ardaily set armemo = 'X' where tallicnum = '2'"_s,
        Insert + u"(4100, '4', 20240312, 1004, 0, 1, 0, 0, 1, 'JONES10:15:00', 9)"_s,
    };
    const QString dates = u"select tallicnum, architdate from ardaily order by tallicnum"_s;
    for (const QString &command : { u"deletebatch"_s, u"movebatch"_s }) {
        for (const QString &change : meanwhile) {
            Harness h;
            tallic::testkit::prepareMarch2024(h);
            h.exec(u"daily"_s, rows);
            auto window = openEditor(h);
            ASSERT_TRUE(window);
            const QList<QVariantList> before = h.rows(u"daily"_s, dates);
            h.exec(u"daily"_s, change);
            h.queueAnswers({ true });
            h.queueInputs({ u"20240313"_s });
            press(*window, command, 0);
            EXPECT_EQ(h.dialogs().last().text,
                      u"Another workstation changed or deleted this batch meanwhile, so nothing "
                      u"was changed. The chits are read again."_s)
                << qPrintable(command + change);
            EXPECT_EQ(h.rows(u"daily"_s, dates).mid(0, 3), before) << qPrintable(command);
        }
    }
    Harness h;
    tallic::testkit::prepareMarch2024(h);
    h.exec(u"daily"_s, rows);
    auto window = openEditor(h);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->findChild<QLabel *>(u"operators"_s)->text(),
              u"JONES: 2 chits, base 30.00, service charge 5.40, tax 2.13, total 37.53\n"
              u"SMITH: 1 chit, base 50.00, service charge 9.00, tax 3.54, total 62.54"_s);
    h.queueInputs({ u"20240229"_s, u"20240313"_s });
    press(*window, u"movebatch"_s, 1);
    EXPECT_EQ(h.dialogs().last().title, u"Date entered: 20240229"_s);
    press(*window, u"movebatch"_s, 1);
    EXPECT_EQ(
        h.rows(u"daily"_s, dates),
        (QList<QVariantList> { { u"1"_s, 20240313 }, { u"2"_s, 20240313 }, { u"3"_s, 20240312 } }));
    EXPECT_EQ(activityLog(h).count(u" moved to 20240313 with batch JONES10:15:00 of 20240312. "
                                   u"Before: "_s),
              2);
    auto next = openEditor(h, u"99"_s, u"20240313"_s);
    h.queueInputs({ u"20240312"_s });
    press(*next, u"movebatch"_s, 0);
    EXPECT_EQ(h.rows(u"daily"_s, u"select count(*) from ardaily where architdate = 20240312"_s),
              QList<QVariantList> { { 3 } });

    h.clearDialogs();
    h.queueAnswers({ true });
    press(*window, u"reload"_s);
    press(*window, u"deletebatch"_s, 0);
    EXPECT_EQ(h.dialogs().value(0).text,
              u"Delete the whole batch JONES10:15:00: 2 chits (2 rows), base 30.00, service "
              u"charge 5.40, tax 2.13, total 37.53?"_s);
    EXPECT_EQ(h.rows(u"daily"_s, u"select tallicnum from ardaily"_s),
              QList<QVariantList> { { u"3"_s } });
    EXPECT_EQ(activityLog(h).count(u"deleted with batch JONES10:15:00 of 20240312. Before: "_s), 2);
}

TEST(WorkspaceTest, TheEditorKeepsToItsLevelRecoversAndClosesFromTheKeyboard)
{
    Harness h;
    h.exec(u"daily"_s, Insert + u"(4100, '12', 20240312, 1001, 0, 25, 4.5, 1.77, 31.27, 'B', 9)"_s);
    // The demo club gives the month-end editor, and this one, level 50.
    EXPECT_FALSE(openEditor(h, u"49"_s));
    EXPECT_EQ(h.dialogTitles(), QStringList { u"Varnest"_s });
    h.setAside(u"daily"_s);
    auto window = openEditor(h, u"50"_s);
    EXPECT_FALSE(window);
    h.putBack(u"daily"_s);
    window = openEditor(h, u"50"_s);
    ASSERT_TRUE(window);
    // It holds the folder while it runs: a restore waits for it, naming it.
    const auto restore = tallic::FolderLock::take(tallic::currentDataSource(), u"restore"_s,
                                                  tallic::FolderLock::Use::Alone);
    EXPECT_TRUE(!restore && restore.failure().description.contains(u"the workspace editor"_s));

    // A reading that fails is told; the next one that succeeds shows the day again.
    h.setAside(u"daily"_s);
    press(*window, u"reload"_s);
    EXPECT_TRUE(window->day().rows().isEmpty());
    h.putBack(u"daily"_s);
    press(*window, u"reload"_s);
    EXPECT_EQ(window->findChild<QTableView *>(u"rows"_s)->model()->rowCount(), 1);
    EXPECT_EQ(window->day().problem(), QString());

    // Escape anywhere in the window, or its Close button.
    for (const bool escape : { true, false }) {
        window->show();
        if (escape)
            QTest::keyClick(window->findChild<QTableView *>(u"rows"_s), Qt::Key_Escape);
        else
            press(*window, u"close"_s);
        EXPECT_FALSE(window->isVisible()) << escape;
    }
}

// Every figure of the proof is printed whole, the largest too; a chit number is counted in
// each batch it appears in.
TEST(WorkspaceTest, TheProofHoldsEveryChitOfEveryBatchWithItsTotals)
{
    Harness h;
    QStringList values;
    double total = 0, hash = 0;
    for (int i = 1; i <= 80; ++i) {
        values << u"(4100, 'K%1', 20240312, %2, 0, %3, 0, 0, %3, 'A', 9)"_s.arg(1000 + i)
                      .arg(1000 + i)
                      .arg(i + 0.25);
        total += i + 0.25;
        hash += 1000 + i;
    }
    // A batch of large amounts, its first chit numbered as one of the first batch.
    for (int i = 1; i <= 9; ++i)
        values << u"(4100, '%1', 20240312, %2.01, 0, 1234567.89, 222222.22, 88888.88, "
                  u"1545678.99, 'C', 9)"_s.arg(i == 1 ? u"K1001"_s : u"C%1"_s.arg(i))
                      .arg(1000 + i);
    h.exec(u"daily"_s, Insert + values.join(u", "_s));
    Workday day;
    ASSERT_TRUE(day.load(20240312));
    // Rows keyed after the list was read are on the proof: it reads the day when printed.
    // Generation's two rows of one chit; two payments, each a chit of its own.
    h.exec(u"daily"_s,
           Insert
               + u"(4100, 'G1', 20240312, 1001, 0, 10, 0, 0, 10, 'B', 8), "
                 u"(4200, 'G1', 20240312, 1001, 0, 5, 0, 0, 5, 'B', 8), "
                 u"(4100, 'PAYMENT', 20240312, 1004, 0, -5, 0, 0, -5, 'B', 9), "
                 u"(4100, 'PAYMENT', 20240312, 1005, 0, -5, 0, 0, -5, 'B', 9)"_s);
    const QString pdf = QDir(h.dataDir()).filePath(u"proof.pdf"_s);
    ASSERT_TRUE(day.printProof(pdf)) << qPrintable(day.problem());
    QProcess toText;
    toText.start(u"pdftotext"_s, { u"-layout"_s, pdf, u"-"_s });
    ASSERT_TRUE(toText.waitForFinished()) << "pdftotext (poppler-utils) reads the proof";
    const QString text = QString::fromUtf8(toText.readAllStandardOutput());

    for (int i = 1001; i <= 1080; ++i)
        EXPECT_EQ(text.count(u"K%1 "_s.arg(i)), i == 1001 ? 2 : 1) << i;
    const qsizetype pages = text.count(u"Chit #"_s);
    EXPECT_GE(pages, 4);
    EXPECT_TRUE(text.contains(u"Page %1 of %1"_s.arg(pages))) << qPrintable(text);
    const auto has = [&text](const QString &pattern) {
        return text.contains(QRegularExpression(QString(pattern).replace(u" "_s, u"\\s+"_s)));
    };
    EXPECT_TRUE(
        has(u"Chit count 80 Rows 80 Base total %1 Service charge .00 Tax .00 Total %1"_s.arg(
            total, 0, 'f', 2)))
        << qPrintable(text);
    EXPECT_TRUE(has(u"Validity: Hash Total %1.00 Base Total %2"_s.arg(hash).arg(total, 0, 'f', 2)));
    EXPECT_TRUE(
        has(u"Chit count 3 Rows 4 Base total 5.00 Service charge .00 Tax .00 Total 5.00"_s));
    // Each row of the large batch, every figure whole.
    EXPECT_EQ(
        text.count(QRegularExpression(u"1234567.89\\s+222222.22\\s+88888.88\\s+1545678.99"_s)), 9);
    EXPECT_TRUE(has(u"Batch totals 11111111.01 1999999.98 799999.92 13911110.91"_s))
        << qPrintable(text);
    EXPECT_TRUE(has(u"Chit count 9 Rows 9 Base total 11111111.01 Service charge 1999999.98 Tax "
                    u"799999.92 Total 13911110.91"_s));
    EXPECT_TRUE(has(u"Validity: Hash Total 9045.09 Base Total 11111111.01"_s));
}

} // namespace
