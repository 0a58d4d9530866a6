// Generate Chits as the operator runs it, and the rows it leaves in ardaily.
#include "autogen/generationdriver.h"
#include "basic/chit.h"
#include "entry/arinput.h"
#include "platform/form.h"
#include "platform/keygate.h"
#include "testkit/harness.h"
#include "testkit/powercut.h"
#include "testkit/world.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

const QString Food = u"4100.000 , 10.00 - FOOD"_s;
const QString Adams = u"1001 - ADAMS, ANN"_s;
const QString Baker = u"1002.00 - BAKER, BOB"_s;
const QString Codes = u"Varnest Codes"_s;

// The club started with the entry screen's date box holding the date given, both lists
// in their files, and the AutoGenerate window open.
void openWindow(Harness &h, const QStringList &items, const QStringList &members,
                const QString &config = {}, const QString &entryDate = {})
{
    h.createFile(u"bundle1.ini"_s, (items.join(u"\r\n"_s) + u"\r\n"_s).toLatin1());
    h.createFile(u"bundle2.ini"_s, (members.join(u"\r\n"_s) + u"\r\n"_s).toLatin1());
    prepareMarch2024(h);
    if (!config.isEmpty())
        h.exec(u"config"_s, config);
    startMarch2024(h);
    entry()->Text1(Field::ChitDate).setText(entryDate);
    h.click(u"cmdautogenerate"_s);
    h.clearDialogs();
}

// The harness's machine watching Generate Chits: what mainhelpwindow said at the
// confirmation, and at the second member's chit number the commands available and the
// progress bar; then clicks on unavailable commands and, when asked, a title-bar close of
// one of the windows.
struct Watch final : MachineOverride
{
    using MachineOverride::MachineOverride;
    QString closing, summary, progressMidway;
    QStringList availableMidway;
    int draws = 0;

    int messageBox(const QString &text, const QString &title, BoxIcon icon,
                   BoxButtons buttons) override
    {
        if (title == u"Please confirm..."_s)
            summary = Form::find(u"frmbundle"_s)->control(u"mainhelpwindow"_s).text();
        return inner.messageBox(text, title, icon, buttons);
    }
    void seedRandom() override
    {
        inner.seedRandom();
        Form *window = Form::find(u"frmbundle"_s);
        if (++draws != 2)
            return;
        for (const Control &c : window->controls()) {
            if (c.kind() == Control::Kind::Button && c.enabled())
                availableMidway << c.name();
        }
        progressMidway = window->control(u"progress"_s).text();
        // Commands unavailable meanwhile: a click or Alt and the letter is for nobody.
        QTest::mouseClick(window->control(u"cmddelmemlist"_s).widget(), Qt::LeftButton);
        QTest::mouseClick(window->control(u"cmdgenerate"_s).widget(), Qt::LeftButton);
        QTest::keyClick(KeyGate::keyTarget(), Qt::Key_B, Qt::AltModifier);
        if (Form *closed = Form::find(closing)) {
            QCoreApplication::postEvent(closed->windowHandle(), new QCloseEvent);
            QCoreApplication::processEvents();
        }
    }
};

// Generate, the prompt answered as given and the questions with the answers given; then the
// stored rows: account, chit number, date, member, base, service charge, tax, total,
// origin, memo, source, employee.
QList<QVariantList> generate(Harness &h, const QString &date = u"20240312"_s,
                             const QList<bool> &answers = { true })
{
    h.queueInputs({ date });
    h.queueAnswers(answers);
    h.click(u"frmbundle.cmdgenerate"_s);
    return h.rows(u"daily"_s,
                  u"select arglacct, tallicnum, architdate, armember, arbasesale, arsrvchg, "
                  u"artax, artotal, arorigin, armemo, arsource, aremployee from ardaily "
                  u"where tallicnum <> 'OLD' order by rowid"_s);
}

QString helpText(Harness &h)
{
    return h.control(u"frmbundle.mainhelpwindow"_s).text;
}

// Whatever the date and the answers, both lists are saved first. A member already billed
// by AutoGen for the date and memo is asked about before anything is written.
TEST(GenerateTest, TheDateAndTheQuestionsDecideWhetherAnythingIsWritten)
{
    struct Case
    {
        QString entryDate; // the entry screen's date box; empty: the prompt asks
        QString answer;
        QList<bool> yes;
        QString stored; // empty: nothing written
        QStringList boxes;
        QStringList billed; // ardaily rows before: member, date, origin, memo
        QString memo = {};
        QString holder = {}; // the user of another workstation generating for the date meanwhile
    };
    const QString prompt = u"Set Date To Use"_s, confirm = u"Please confirm..."_s,
                  again = u"Already billed..."_s, elsewhere = u"Generating elsewhere..."_s;
    const QString day = u"20240312"_s, adams = u"1001, 20240312, 'AutoGen', ''"_s,
                  baker = u"1002, 20240312, 'AutoGen', ''"_s;
    // Letter case and blanks do not make another memo.
    const QString upper = u"1001, 20240312, 'AutoGen', 'AUTO MEMO'"_s, memo = u"auto memo "_s;
    // Another memo, another date or a keyed chit is not the same billing.
    const QStringList others { u"1001, 20240312, 'AutoGen', 'Dues'"_s,
                               u"1001, 20240311, 'AutoGen', ''"_s,
                               u"1001, 20240312, 'JONES10:15:00', ''"_s };
    const Case cases[] = {
        { u"20240314"_s, u"0315"_s, { true }, u"20240314"_s, { confirm }, {} },
        { {}, u"0315"_s, { true }, u"20240315"_s, { prompt, confirm }, {} },
        { {}, day, { false }, {}, { prompt, confirm }, {} },
        { {}, u"123"_s, { true }, {}, { prompt }, {} },
        { {}, u""_s, { true }, {}, { prompt }, {} },
        // This year's 31 December lies beyond the open month.
        { {}, u"1231"_s, { true }, {}, { prompt, u"Date entered: 20241231"_s }, {} },
        { {}, u"20240230"_s, { true }, {}, { prompt, u"Date entered: 20240230"_s }, {} },
        { {}, day, { true, false }, {}, { prompt, confirm, again }, { adams } },
        { {}, day, { true, true }, day, { prompt, confirm, again }, { adams, baker, adams } },
        { {}, day, { true }, day, { prompt, confirm }, others },
        { {}, day, { true, false }, {}, { prompt, confirm, again }, { upper }, memo },
        // Another workstation generates for the date and memo meanwhile: nothing is written.
        { {}, day, { true }, {}, { prompt, confirm, elsewhere }, {}, memo, u"SMITH"_s },
    };
    const QString billing = u"insert into ardaily (tallicnum, armember, architdate, arorigin, "
                            u"armemo) values ('OLD', "_s;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answer.toStdString() + " " + std::to_string(c.billed.size()));
        Harness h;
        openWindow(h, { Food }, { Adams, Baker }, {}, c.entryDate);
        for (const QString &row : c.billed)
            h.exec(u"daily"_s, billing + row + u')');
        QDir data(h.dataDir());
        ASSERT_TRUE(data.remove(u"bundle1.ini"_s) && data.remove(u"bundle2.ini"_s));
        if (!c.memo.isEmpty()) {
            h.click(u"frmbundle.txtmemo"_s);
            h.keys(c.memo);
        }
        QProcess other;
        if (!c.holder.isEmpty()) {
            other.start(QStringLiteral(GENERATION_HOLDER),
                        { h.dataDir(), c.answer, u"Auto  Memo"_s, c.holder });
            ASSERT_TRUE(other.waitForReadyRead(20000));
            ASSERT_EQ(other.readAll(), "ready\n");
        }
        Watch watch(h);
        const QList<QVariantList> rows = generate(h, c.answer, c.yes);
        other.closeWriteChannel();
        other.waitForFinished();
        EXPECT_EQ(h.dialogTitles(), c.boxes);
        if (!c.holder.isEmpty()) {
            EXPECT_TRUE(h.dialogs().last().text.contains(u"(user "_s + c.holder + u')'));
        }
        if (c.boxes.contains(again)) {
            EXPECT_TRUE(h.dialogs().last().text.startsWith(
                u"%1 of the listed members"_s.arg(c.billed.size() > 1 ? 2 : 1)));
        }
        // What will be written is told before the confirmation.
        EXPECT_EQ(watch.summary,
                  c.boxes.contains(confirm)
                      ? u"To generate: 2 members, 1 items, 2 rows, total 25.02"_s
                      : QString());
        ASSERT_EQ(rows.size(), c.stored.isEmpty() ? 0 : 2);
        if (!rows.isEmpty()) {
            EXPECT_EQ(rows.first().at(2).toString(), c.stored);
        }
        QFile members(data.filePath(u"bundle2.ini"_s));
        EXPECT_TRUE(members.open(QIODevice::ReadOnly));
        EXPECT_EQ(members.readAll(), (Adams + u"\r\n"_s + Baker + u"\r\n"_s).toLatin1());
        EXPECT_TRUE(data.exists(u"bundle1.ini"_s));
    }
}

// Price 10.00 on an account at 0.18 service charge and 0.06 tax; the service charge taxed
// at the item's rate unless the case says otherwise.
TEST(GenerateTest, ChargesFollowTheRatesConsolidationTheBypassesAndExemption)
{
    struct Case
    {
        QString price;
        QString config;
        QString bypass; // the entry screen's button pressed
        QString member;
        QStringList expected; // service charge, tax, total
        QString total; // of both members' chits, told before the confirmation
        QString master = {}; // the member register changed after the member was listed
        QString keyed = {}; // the member keyed on the entry screen first
    };
    const QString noScTax = u"update ar set artaxsrvchg = 'N'"_s,
                  consolidate = u"update ar set arconsolidate = 'Y'"_s,
                  basisS = u"update ar set artaxbasis = 'S'"_s;
    const QStringList taxed { u"1.8"_s, u"0.71"_s, u"12.51"_s },
        untaxed { u"1.8"_s, u"0"_s, u"11.8"_s };
    const QString exempt = u"update acctinfo set taxexempt = 1 where acctnumber = 1001"_s;
    const Case cases[] = {
        { u"10.00"_s, noScTax, {}, Adams, { u"1.8"_s, u"0.6"_s, u"12.4"_s }, u"24.80"_s },
        { u"10.00"_s, {}, {}, Adams, taxed, u"25.02"_s },
        { u"-10.00"_s, {}, {}, Adams, { u"-1.8"_s, u"-0.71"_s, u"-12.51"_s }, u"-25.02"_s },
        { u"10.00"_s, consolidate, {}, Adams, { u"0"_s, u"0"_s, u"10"_s }, u"20.00"_s },
        // 4.35 is held a hair below: the total counts it as 435 cents all the same.
        { u"4.35"_s, consolidate, {}, Adams, { u"0"_s, u"0"_s, u"4.35"_s }, u"8.70"_s },
        { u"10.00"_s, {}, u"cmdtaxbypass"_s, Adams, untaxed, u"23.60"_s },
        { u"10.00"_s, {}, u"cmdscbypass"_s, Adams, { u"0"_s, u"0.6"_s, u"10.6"_s }, u"21.20"_s },
        // Exemption is the member's record's when the chits are written, not a word his
        // entry kept from when he was listed; the next member pays the tax.
        { u"10.00"_s, {}, {}, Adams + u" TaxExempt"_s, taxed, u"25.02"_s },
        { u"10.00"_s, {}, {}, Adams, untaxed, u"24.31"_s, exempt },
        // An exempt member keyed on the entry screen leaves the company's rate to the others.
        { u"10.00"_s, basisS, {}, Adams, taxed, u"25.02"_s, {}, u"1035"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.price + c.config + c.bypass + c.member + c.master).toStdString());
        Harness h;
        openWindow(h, { u"4100.000 , "_s + c.price + u" - FOOD"_s }, { c.member, Baker }, c.config,
                   u"20240312"_s);
        if (!c.bypass.isEmpty())
            h.click(c.bypass);
        if (!c.master.isEmpty())
            h.exec(u"master"_s, c.master);
        if (!c.keyed.isEmpty()) {
            h.click(u"Text1(4)"_s);
            h.keys(c.keyed + u"{TAB}"_s);
            ASSERT_TRUE(h.control(u"Text3"_s).text.contains(u"TaxExempt"_s));
        }
        Watch watch(h);
        const QList<QVariantList> rows = generate(h);
        EXPECT_EQ(watch.summary, u"To generate: 2 members, 1 items, 2 rows, total "_s + c.total);
        ASSERT_EQ(rows.size(), 2);
        expectRow(rows.at(0).mid(5, 3), c.expected);
        if (!c.master.isEmpty())
            expectRow(rows.at(1).mid(5, 3), taxed);
        expectWholeCents(h);
    }
}

// A failure that would recur is told once, and the window says where to resume: before
// the first chit nothing is written; later the chits written before it stay whole.
TEST(GenerateTest, AFailureStopsWithOneReportAndLeavesWholeChitsOnly)
{
    struct Case
    {
        QStringList ar, daily; // statements run on the databases before
        QString folder; // a list file made a folder, which cannot be saved
        bool confirmed; // the failure comes after the confirmation
        int rows;
        QString stopped, report;
        bool diskFails = false; // from the first chit's commit on (on files)
    };
    const QString none = u"No chits written."_s, at = none + u" Stopped at account "_s;
    const QStringList rates { u"insert into ar0 (aracctnum) values (4999)"_s },
        noTable { u"alter table ar0 rename to ar0old"_s };
    // The second member's row of account 4999 breaks a rule of the table.
    const QStringList refuse {
        u"insert into ardaily (tallicnum, armember, arglacct) values ('OLD', 1002, 4999)"_s,
        u"create unique index refuse on ardaily (armember) where arglacct = 4999"_s
    };
    // Rows already billed, read back through a view whose second row cannot be read.
    const QString billed = u"insert into ardaily (tallicnum, armember, architdate, arorigin, "_s
                           u"armemo, arsource) values ('OLD', %1, 20240312, 'AutoGen', '', 9)"_s;
    const QStringList unreadable {
        billed.arg(1001), billed.arg(1002), u"alter table ardaily rename to ardailyrows"_s,
        u"create view ardaily as select arglacct, tallicnum, architdate, armember, aremployee, "_s
        u"arcovers, arbasesale, arsrvchg, artax, artotal, arreserved1, arreserved2, arreserved3, "_s
        u"arreserved4, arreservedtext, arorigin, case when armember = 1002 then cast(abs(arsource "_s
        u"* 0 - 9223372036854775807 - 1) as text) else armemo end as armemo, arsource "_s
        u"from ardailyrows"_s
    };
    const QString diskStop = u"1 chits written. Stopped after member "_s + Adams + u'.',
                  diskReport = u" for member 1001 was being written to DAILY.MDB"_s;
    const QString noRates = u"Account 4999.000 has no A/R rates"_s,
                  unread = u"The A/R rates (ar0) of account 4100.000 could not be read: "_s;
    const Case cases[] = {
        // The rates are read before the confirmation: an account without them, or rates that
        // cannot be read, stop the run at that account.
        { {}, {}, {}, false, 0, at + u"4999.000."_s, noRates },
        { noTable, {}, {}, false, 0, at + u"4100.000."_s, unread },
        // A list that cannot be saved is reported by the save, and the old file not billed.
        { rates, {}, u"bundle1.ini"_s, false, 0, none, u"bundle1.ini"_s },
        { rates, {}, u"bundle2.ini"_s, false, 0, none, u"bundle2.ini"_s },
        // A look-up of the members billed already that fails is no "not billed".
        { rates, unreadable, {}, true, 0, none, {} },
        // The second member's second row is refused: the first row of that chit goes too.
        { rates, refuse, {}, true, 2, u"1 chits written. Stopped at member "_s + Baker + u'.', {} },
        // The first chit is stored, but the disk could not take it: nothing more is written.
        { rates, {}, {}, true, 2, diskStop, diskReport, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stopped.toStdString() + " " + c.report.toStdString());
        Harness h;
        if (c.diskFails && h.onServer())
            continue;
        PowerCutDisk disk;
        for (const QString &sql : c.ar)
            h.exec(u"ar"_s, sql);
        for (const QString &sql : c.daily)
            h.exec(u"daily"_s, sql);
        openWindow(h, { Food, u"4999.000 , 5.00 - NONE"_s }, { Adams, Baker }, {}, u"20240312"_s);
        QDir data(h.dataDir());
        if (!c.folder.isEmpty()) {
            ASSERT_TRUE(data.remove(c.folder) && data.mkdir(c.folder));
        }
        if (c.diskFails) {
            beginLog(u"daily.mdb"_s);
            disk.onSync([](const QString &path) { return !path.endsWith(u"-wal"_s); });
        }
        h.queueAnswers({ true });
        h.click(u"frmbundle.cmdgenerate"_s);
        const QString written = u"select count(*) from ardaily where tallicnum <> 'OLD'"_s;
        EXPECT_EQ(h.rows(u"daily"_s, written).value(0).value(0).toInt(), c.rows);
        const QStringList boxes { u"Please confirm..."_s, c.diskFails ? u"Disk error"_s : Codes };
        EXPECT_EQ(h.dialogTitles(), c.confirmed ? boxes : boxes.mid(1));
        EXPECT_TRUE(h.dialogs().last().text.startsWith(c.diskFails ? u"The disk"_s : u"Code "_s));
        EXPECT_TRUE(h.dialogs().last().text.contains(c.report));
        EXPECT_EQ(helpText(h), c.stopped);
        EXPECT_EQ(h.control(u"frmbundle.progress"_s).caption,
                  c.rows ? u"1 of 2 members"_s : QString());
        EXPECT_TRUE(h.control(u"frmbundle.cmdgenerate"_s).enabled);
        EXPECT_TRUE(h.control(u"frmbundle.cmdexit"_s).enabled);
    }
}

// Three items for two members make six rows under two chit numbers. While they are written
// only Help is available and the commands clicked never run; closing either window by its
// title bar waits until every chit is written.
TEST(GenerateTest, ThreeItemsForTwoMembersMakeSixRowsWhateverIsClickedMeanwhile)
{
    const std::pair<QString, bool> cases[]
        = { { {}, true }, { u"frmbundle"_s, true }, { u"arinput"_s, false } };
    const QStringList amounts[] = { { u"4100"_s, u"10"_s, u"1.8"_s, u"0.71"_s, u"12.51"_s },
                                    { u"4200"_s, u"20"_s, u"3"_s, u"1.38"_s, u"24.38"_s },
                                    { u"4500"_s, u"100"_s, u"0"_s, u"0"_s, u"100"_s } };
    const QRegularExpression chitForm(u"^[A-Z][1-9][0-9]{0,5}$"_s);
    for (const auto &[window, stillRunning] : cases) {
        SCOPED_TRACE(window.toStdString());
        Harness h;
        openWindow(h, { Food, u"4200.000 , 20.00 - BAR"_s, u"4500.000 , 100.00 - DUES"_s },
                   { Adams, Baker });
        h.click(u"frmbundle.txtmemo"_s);
        h.keys(u"March"_s);
        Watch watch(h);
        watch.closing = window;
        const QList<QVariantList> rows = generate(h);
        ASSERT_EQ(rows.size(), 6);
        for (int i = 0; i < 6; ++i) {
            const QVariantList &row = rows.at(i);
            const QStringList &a = amounts[i % 3];
            expectRow(row,
                      { a[0], row.at(1).toString(), u"20240312"_s, i < 3 ? u"1001"_s : u"1002"_s,
                        a[1], a[2], a[3], a[4], u"AutoGen"_s, u"March"_s, u"9"_s, u"0"_s });
            EXPECT_TRUE(chitForm.match(row.at(1).toString()).hasMatch());
            EXPECT_EQ(row.at(1), rows.at(i < 3 ? 0 : 3).at(1));
        }
        EXPECT_NE(rows.at(0).at(1), rows.at(3).at(1));
        expectWholeCents(h);
        EXPECT_EQ(h.dialogTitles(), (QStringList { u"Set Date To Use"_s, u"Please confirm..."_s }));
        EXPECT_TRUE(QDir(h.dataDir()).exists(u"bundle1.ini"_s));
        EXPECT_TRUE(QDir(h.dataDir()).exists(u"bundle2.ini"_s));
        EXPECT_EQ(watch.availableMidway, QStringList { u"cmdhelp"_s });
        EXPECT_EQ(watch.progressMidway, u"1 of 2 members"_s);
        EXPECT_EQ(h.running(), stillRunning);
        if (window.isEmpty()) {
            EXPECT_EQ(helpText(h), u"Charges generated."_s);
            EXPECT_EQ(h.control(u"frmbundle.progress"_s).caption, u"2 of 2 members"_s);
        } else {
            EXPECT_FALSE(Form::find(window));
        }
    }
}

// A run driven without the AutoGenerate window: what it asked of the window it was given.
struct RunWindow final : GenerationWindow
{
    bool saves = true;
    QStringList said, commands;
    QString progress;

    bool saveLists() override { return saves; }
    bool bundleEmpty() const override { return false; }
    QStringList members() const override { return { Adams, Baker }; }
    QString memo() const override { return {}; }
    QString keyedDate() const override { return u"20240312"_s; }
    const ArSettings &settings() const override { return entry()->start().settings(); }
    ChargeRules chargeRules() const override { return { settings().chargeSettings() }; }
    void say(const QString &text) override { said << text; }
    void resetProgress() override { progress = u"reset"_s; }
    void showProgress(int done, int of) override { progress = u"%1 of %2"_s.arg(done).arg(of); }
    void focusExit() override { said << u"exit"_s; }
    void setCommandsAvailable(bool on) override { commands << (on ? u"on"_s : u"off"_s); }
};

TEST(GenerateTest, ARunIsDrivenThroughTheWindowItIsGiven)
{
    for (const bool saves : { false, true }) {
        SCOPED_TRACE(saves);
        Harness h;
        h.createFile(u"bundle1.ini"_s, (Food + u"\r\n"_s).toLatin1());
        startMarch2024(h);
        RunWindow window;
        window.saves = saves;
        h.queueAnswers({ true });
        GenerationDriver(window).run();
        const qsizetype rows = h.rows(u"daily"_s, u"select tallicnum from ardaily"_s).size();
        if (!saves) {
            EXPECT_EQ(window.said, QStringList { u"No chits written."_s });
            EXPECT_EQ(window.progress, u"reset"_s);
            EXPECT_EQ(rows, 0);
            continue;
        }
        EXPECT_EQ(h.dialogTitles(), QStringList { u"Please confirm..."_s });
        EXPECT_EQ(window.said.first(), u"To generate: 2 members, 1 items, 2 rows, total 25.02"_s);
        EXPECT_EQ(window.said.last(), u"Charges generated."_s);
        EXPECT_EQ(window.commands, QStringList({ u"off"_s, u"on"_s }));
        EXPECT_EQ(window.progress, u"2 of 2"_s);
        EXPECT_EQ(rows, 2);
    }
}

} // namespace
