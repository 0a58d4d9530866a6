// A connection that breaks while a chit is stored, before the write or around its COMMIT:
// every case ends with the write once or not at all, the screen's count equal to the rows,
// and nothing said that is not so. What the server left untold is said to be unknown, kept
// on the disk, and settled at the next OK, at the next start or by the workspace editor.
#include "entry/arinput.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/pendingwrites.h"
#include "testkit/harness.h"
#include "testkit/relay.h"
#include "testkit/world.h"
#include "workspace.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

using Fault = ServerRelay::Fault;

enum class Writer { Post, Generate, Correct };
enum class Then {
    Nothing,
    OkAgain, // OK on the entry screen once the server is back
    Restart, // Exit, and the program started again
    Editor, // the workspace editor opened, or read again
    AwayAtFirstOk, // OK while the server is still away, then again once it is back
    NewBatch, // a new batch started, and OK on its first chit
};

// Where the network fails: the write's first row or change cut before the server sees it;
// the answer to its COMMIT lost, with the server back at once or away until the follow-up;
// the COMMIT cut before the server sees it, the server away; the COMMIT lost on the way while
// its session stays open.
enum class Net { WriteCut, AnswerLost, AnswerLostAway, CommitCutAway, CommitLost };

struct Case
{
    Writer writer;
    Net net;
    Then then;
    int rows; // the write's rows at the end: the chit stored, or the correction made
    const char *name;
    QStringList said; // each box in order: its title, a colon, a part of its text
};

void breakNetwork(ServerRelay &relay, const Case &c)
{
    const QString write
        = c.writer == Writer::Correct ? u"^update ardaily"_s : u"^insert into ardaily"_s;
    const bool away = c.net == Net::AnswerLostAway || c.net == Net::CommitCutAway;
    const Fault fault = c.net == Net::WriteCut || c.net == Net::CommitCutAway ? Fault::CutBefore
        : c.net == Net::CommitLost                                            ? Fault::Swallow
                                                                              : Fault::CutAnswer;
    relay.failAt(QRegularExpression(c.net == Net::WriteCut ? write : u"^commit$"_s), fault, away);
}

std::unique_ptr<workspace::WorkspaceWindow> openEditor(Harness &h)
{
    h.setClipboard(u"20240312"_s);
    int exitCode = -1;
    return workspace::startEditor(u"WJX99JONES"_s, exitCode);
}

// The write the case breaks, up to the moment it is sent; the editor stays open.
std::unique_ptr<workspace::WorkspaceWindow> prepare(Harness &h, Writer writer)
{
    if (writer == Writer::Correct)
        h.exec(u"daily"_s,
               u"insert into ardaily (arglacct, tallicnum, architdate, armember, "
               u"arbasesale, arsrvchg, artax, artotal, arorigin) values (4100, "
               u"'E1', 20240312, 1001, 25, 4.5, 1.77, 31.27, 'B')"_s);
    h.createFile(u"bundle1.ini"_s, "4100.000 , 10.00 - FOOD\r\n");
    h.createFile(u"bundle2.ini"_s, "1001 - ADAMS, ANN\r\n");
    startMarch2024(h);
    if (writer == Writer::Post)
        keyChit(h, u"4100"_s, u"C1"_s, u"1001"_s, u"10"_s);
    if (writer == Writer::Generate)
        h.click(u"cmdautogenerate"_s);
    if (writer == Writer::Correct)
        return openEditor(h);
    return nullptr;
}

void write(Harness &h, Writer writer, workspace::WorkspaceWindow *editor)
{
    switch (writer) {
    case Writer::Post:
        h.keys(u"{ENTER}"_s);
        break;
    case Writer::Generate:
        h.queueAnswers({ true });
        h.click(u"frmbundle.cmdgenerate"_s);
        h.click(u"frmbundle.cmdexit"_s);
        // Back on the entry screen, in the G/L field.
        h.click(u"Text1(1)"_s);
        break;
    case Writer::Correct:
        h.queueInputs({ u"30"_s });
        h.queueAnswers({ true });
        editor->findChild<QTableView *>(u"rows"_s)->setCurrentIndex(
            editor->findChild<QTableView *>(u"rows"_s)->model()->index(0, 5));
        editor->findChild<QPushButton *>(u"correct"_s)->click();
        h.idle();
        break;
    }
}

// OK on the entry screen: the unknown chit's, or a new chit's when none stands there.
void pressOk(Harness &h, Writer writer)
{
    if (writer != Writer::Post)
        keyChit(h, u"4100"_s, u"Z1"_s, u"1002"_s, u"5"_s);
    h.click(u"cmdokay"_s);
}

void follow(Harness &h, const Case &c, ServerRelay &relay,
            std::unique_ptr<workspace::WorkspaceWindow> &editor)
{
    if (c.then == Then::AwayAtFirstOk)
        pressOk(h, c.writer);
    relay.mend();
    switch (c.then) {
    case Then::Nothing:
        break;
    case Then::OkAgain:
    case Then::AwayAtFirstOk:
        pressOk(h, c.writer);
        break;
    case Then::Restart:
        editor.reset();
        // Only a chit the screen still holds is asked about, No first.
        if (c.writer == Writer::Post) {
            h.queueAnswers({ false });
            h.click(u"cmdexit"_s);
            EXPECT_TRUE(h.running());
            h.queueAnswers({ true });
        }
        h.click(u"cmdexit"_s);
        EXPECT_FALSE(h.running());
        h.queuePickedDates({ u"20240312"_s });
        h.restart();
        break;
    case Then::NewBatch:
        h.queuePickedDates({ u"20240312"_s });
        h.click(u"cmdnewbatch"_s);
        keyChit(h, u"4100"_s, u"Z1"_s, u"1002"_s, u"5"_s);
        h.click(u"cmdokay"_s);
        break;
    case Then::Editor:
        if (editor)
            editor->reload();
        else
            editor = openEditor(h);
        // The entry screen learns of its chit at its next OK.
        if (c.writer == Writer::Post)
            h.click(u"cmdokay"_s);
        break;
    }
}

int rowsOf(Harness &h, Writer writer)
{
    const QString where = writer == Writer::Post ? u"tallicnum = 'C1'"_s
        : writer == Writer::Generate             ? u"arorigin = 'AutoGen'"_s
                                                 : u"tallicnum = 'E1' and arbasesale = 30"_s;
    return h.rows(u"daily"_s, u"select count(*) from ardaily where "_s + where)
        .value(0)
        .value(0)
        .toInt();
}

// The boxes after those that ask for the write (the confirmation of a run, the amount and the
// question of a correction).
void expectSaid(const Harness &h, Writer writer, const QStringList &said)
{
    QStringList shown;
    for (const Dialog &box : h.dialogs())
        shown << box.title + u": "_s + box.text;
    const int asked = writer == Writer::Generate ? 1 : writer == Writer::Correct ? 2 : 0;
    shown.remove(0, qMin(shown.size(), asked));
    ASSERT_EQ(shown.size(), said.size()) << qPrintable(shown.join(u"\n--\n"_s));
    for (qsizetype i = 0; i < said.size(); ++i) {
        const QString title = said.at(i).section(u": "_s, 0, 0);
        EXPECT_TRUE(shown.at(i).startsWith(title + u": "_s)
                    && shown.at(i).contains(said.at(i).section(u": "_s, 1)))
            << qPrintable(said.at(i) + u"\nnot in\n"_s + shown.at(i));
    }
}

// The machine noting, at each box that says an outcome is unknown, whether the workstation's
// file of untold writes was on the disk by then.
struct NotedFirst final : MachineOverride
{
    using MachineOverride::MachineOverride;
    QList<bool> noted;

    int messageBox(const QString &text, const QString &title, BoxIcon icon,
                   BoxButtons buttons) override
    {
        if (text.startsWith(u"The database server did not answer whether"_s))
            noted << QFile::exists(pendingWritesFile());
        return inner.messageBox(text, title, icon, buttons);
    }
};

TEST(OutcomeTest, AChitIsStoredOnceOrNotAtAllAndTheOperatorIsToldTheTruth)
{
    const QString unknown = u"Chit outcome unknown: The database server did not answer "
                            u"whether chit C1 was stored.\nThe chit stays on the screen"_s;
    const QString c1 = u"Chit C1 was stored at 10:15 after all"_s;
    const QString stored = u"Chits checked: "_s + c1 + u"; it is counted"_s;
    const QString exitAsked = u"Chit outcome unknown: Exit anyway?"_s;
    const QString member = u"for member 1001 was stored at 10:15 after all"_s;
    const QString genUnknown
        = u"Chit outcome unknown: The database server did not answer whether chit "_s;
    const QString corrUnknown = u"Workspace Editor: The database server did not answer whether "
                                u"the correction of chit E1 was made."_s;
    const QString corrMade = u"The correction of chit E1 was made at 10:15 after all"_s;
    using enum Writer;
    using enum Net;
    using enum Then;
    // A row a line.
    // clang-format off
    const Case cases[] = {
        { Post, WriteCut, OkAgain, 1, "post: cut before the row",
          { u"Chit not stored: Chit C1 was not stored:\n"_s } },
        { Post, AnswerLost, Nothing, 1, "post: COMMIT's answer lost, server back", {} },
        { Post, AnswerLostAway, OkAgain, 1, "post: stored, away; OK again", { unknown, stored } },
        { Post, AnswerLostAway, Restart, 1, "post: stored, away; Exit and restart",
          { unknown, exitAsked, exitAsked, stored } },
        { Post, AnswerLostAway, Editor, 1, "post: stored, away; the editor",
          { unknown, u"Workspace Editor: Chit C1 was stored at 10:15 after all"_s, stored } },
        { Post, AnswerLostAway, NewBatch, 1, "post: stored, away; a new batch",
          { unknown, u"Chits checked: "_s + c1 + u", in batch JONES10:15:00"_s } },
        { Post, CommitLost, OkAgain, 1, "post: COMMIT lost, its session open; OK", { unknown } },
        { Post, CommitCutAway, OkAgain, 1, "post: COMMIT never sent, away; OK", { unknown } },
        { Post, AnswerLostAway, AwayAtFirstOk, 1, "post: stored, away at the first OK",
          { unknown, u"Chit outcome unknown: still did not answer whether chit C1"_s, stored } },
        { Generate, WriteCut, Nothing, 0, "generation: cut before the row",
          { u"Varnest Codes: "_s } },
        { Generate, AnswerLost, Nothing, 1, "generation: COMMIT's answer lost", {} },
        { Generate, AnswerLostAway, OkAgain, 1, "generation: stored, away; OK",
          { genUnknown, u"Chits checked: "_s + member } },
        { Generate, AnswerLostAway, Restart, 1, "generation: stored, away; restart",
          { genUnknown, u"Chits checked: "_s + member } },
        { Generate, CommitCutAway, Editor, 0, "generation: not stored, away; the editor",
          { genUnknown, u"Workspace Editor: for member 1001 was not stored; generate it"_s } },
        { Correct, WriteCut, Nothing, 0, "correction: cut before the change",
          { u"Workspace Editor: "_s } },
        { Correct, AnswerLost, Nothing, 1, "correction: COMMIT's answer lost", {} },
        { Correct, AnswerLostAway, Editor, 1, "correction: made, away; read again",
          { corrUnknown, u"Workspace Editor: "_s + corrMade } },
        { Correct, AnswerLostAway, Restart, 1, "correction: made, away; restart",
          { corrUnknown, u"Chits checked: "_s + corrMade } },
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        if (!h.onServer())
            GTEST_SKIP() << "a file loses no answers";
        const int waitLimit = setLockWaitLimit(300);
        auto editor = prepare(h, c.writer);
        ServerRelay relay(h);
        h.clearDialogs();
        breakNetwork(relay, c);
        NotedFirst machine(h);
        write(h, c.writer, editor.get());
        const bool untold
            = !c.said.isEmpty() && c.said.first().contains(u"did not answer whether"_s);
        EXPECT_EQ(machine.noted, QList<bool>(untold ? 1 : 0, true));
        follow(h, c, relay, editor);
        EXPECT_EQ(rowsOf(h, c.writer), c.rows);
        expectSaid(h, c.writer, c.said);
        // Nothing is left untold, and the batch counts what is stored. A write whose COMMIT
        // never reached the server is recorded as not stored, so that it can never be.
        EXPECT_FALSE(QFile::exists(pendingWritesFile()));
        // A post's and a generated member's writes go with their COMMIT: cut on their way,
        // they are looked up too.
        const bool neverCommitted = c.net == Net::CommitCutAway || c.net == Net::CommitLost
            || (c.net == Net::WriteCut && c.writer != Writer::Correct);
        EXPECT_EQ(h.rows(u"daily"_s, u"select count(*) from tallic_writes where writekind = 0"_s),
                  QList<QVariantList> { { neverCommitted ? 1 : 0 } });
        // A chit of an earlier batch is not the new batch's.
        const int counted = c.then == Then::NewBatch ? 0 : c.rows;
        if (c.writer == Writer::Post && c.then != Then::Restart) {
            EXPECT_EQ(h.control(u"Text5"_s).text, QString::number(counted));
            EXPECT_EQ(h.control(u"txtvalid(0)"_s).text, counted ? u"1001"_s : u"0"_s);
        }
        editor.reset();
        setLockWaitLimit(waitLimit);
    }
}

} // namespace

namespace {

// A pulled cable in each phase of keying and storing a chit: told within the time a
// statement is given (the lock wait and a little more), the window saying meanwhile that it
// waits for the server, and one box a failure: OK pressed again while the cable is still out
// says that the server is still away.
TEST(OutcomeTest, APulledCableIsToldInTimeInEveryPhaseWithOneBoxAtATime)
{
    struct Phase
    {
        const char *name;
        const char *statement;
        QString first, again; // the boxes of OK and of OK again, title and a part of the text
    };
    // The post is one round trip: BEGIN, the row, its key and COMMIT.
    const Phase phases[] = {
        { "the member field", "acctinfo", {}, {} },
        { "the post", "^insert into ardaily",
          u"Chit outcome unknown: did not answer whether chit C1"_s,
          u"Chit outcome unknown: still did not answer whether chit C1"_s },
    };
    for (const Phase &phase : phases) {
        SCOPED_TRACE(phase.name);
        Harness h;
        if (!h.onServer())
            GTEST_SKIP() << "a file has no cable";
        const int waitLimit = setLockWaitLimit(1500);
        const int told = answerTimeout(lockWaitLimit()) + 700;
        startMarch2024(h);
        ServerRelay relay(h);
        const bool field = phase.first.isEmpty();
        h.keys(u"4100{ENTER}C1{ENTER}{ENTER}1001"_s);
        if (!field)
            h.keys(u"{ENTER}{ENTER}10{ENTER}"_s);
        h.clearDialogs();
        relay.failAt(QRegularExpression(QString::fromLatin1(phase.statement)), Fault::Freeze);
        QString notice;
        QTimer::singleShot(WaitNoticeMs + 300,
                           [&h, &notice] { notice = h.control(u"helpwindow"_s).text; });
        QElapsedTimer clock;
        clock.start();
        h.keys(u"{ENTER}"_s);
        EXPECT_LE(clock.elapsed(), told);
        EXPECT_EQ(notice, u"Waiting for the database server to answer..."_s);
        EXPECT_NE(h.control(u"helpwindow"_s).text, notice);
        if (field) {
            EXPECT_LE(h.dialogs().size(), 1);
            relay.mend();
            setLockWaitLimit(waitLimit);
            continue;
        }
        expectSaid(h, Writer::Post, { phase.first });
        h.clearDialogs();
        clock.start();
        h.click(u"cmdokay"_s);
        EXPECT_LE(clock.elapsed(), told);
        expectSaid(h, Writer::Post, { phase.again });
        EXPECT_EQ(h.control(u"Text1(2)"_s).text, u"C1"_s);
        EXPECT_EQ(h.control(u"Text5"_s).text, u"0"_s);
        relay.mend();
        h.clearDialogs();
        h.click(u"cmdokay"_s);
        EXPECT_EQ(rowsOf(h, Writer::Post), 1);
        EXPECT_EQ(h.control(u"Text5"_s).text, u"1"_s);
        setLockWaitLimit(waitLimit);
    }
}

} // namespace

namespace {

// The workstation's file of untold writes: each added stays until forgotten, whatever else is
// added or forgotten meanwhile; a line cut short by a power cut is nothing, and the lines after
// it count; the file goes with its last write.
TEST(OutcomeTest, TheFileOfUntoldWritesKeepsEachUntilItIsForgotten)
{
    Harness h;
    const auto keys = [] {
        QStringList all;
        for (const PendingWrite &w : pendingWrites())
            all << w.key;
        return all;
    };
    PendingWrite write;
    for (const char *key : { "a1", "b2", "c3" }) {
        write.key = QString::fromLatin1(key);
        ASSERT_TRUE(recordPending(write));
    }
    ASSERT_TRUE(forgetPending(u"b2"_s));
    EXPECT_EQ(keys(), (QStringList { u"a1"_s, u"c3"_s }));
    QFile file(pendingWritesFile());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("\n{\"op\":\"add\",\"key\":\"d4");
    file.close();
    write.key = u"e5"_s;
    ASSERT_TRUE(recordPending(write));
    ASSERT_TRUE(forgetPending(u"a1"_s));
    EXPECT_EQ(keys(), (QStringList { u"c3"_s, u"e5"_s }));
    ASSERT_TRUE(forgetPending(u"c3"_s) && forgetPending(u"e5"_s));
    EXPECT_FALSE(file.exists());
}

// The keys of the months closed go at start; those of the open month (March 2024) stay, and
// so do the chits.
TEST(OutcomeTest, TheKeysOfClosedMonthsArePrunedAtStart)
{
    Harness h;
    for (const QString &at :
         { u"2024-02-29 23:59:59"_s, u"2024-03-01 00:00:00"_s, u"2024-03-12 09:00:00"_s })
        h.exec(u"daily"_s,
               u"insert into tallic_writes (writekey, writtenat, writekind) values "
               u"('k%1', '%2', 1)"_s.arg(at.mid(5, 5), at));
    startMarch2024(h);
    EXPECT_EQ(h.rows(u"daily"_s, u"select writtenat from tallic_writes order by writtenat"_s),
              (QList<QVariantList> { { u"2024-03-01 00:00:00"_s }, { u"2024-03-12 09:00:00"_s } }));
}

} // namespace
