// Generate Chits as the operator runs it, and the rows it leaves in ardaily.
#include "entry/arinput.h"
#include "entry/chit.h"
#include "platform/form.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QWindow>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

const QString Food = u"4100.000 , 10.00 - FOOD"_s;
const QString Adams = u"1001 - ADAMS, ANN"_s;
const QString Baker = u"1002.00 - BAKER, BOB"_s;

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
// confirmation, and at the second member's chit number the commands available, the
// progress bar and, when asked, a title-bar close of one of the windows.
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

TEST(GenerateTest, ThreeItemsForTwoMembersMakeSixRowsUnderTwoChitNumbers)
{
    Harness h;
    openWindow(h, { Food, u"4200.000 , 20.00 - BAR"_s, u"4500.000 , 100.00 - DUES"_s },
               { Adams, Baker });
    h.click(u"frmbundle.txtmemo"_s);
    h.keys(u"March"_s);
    const QList<QVariantList> rows = generate(h);
    ASSERT_EQ(rows.size(), 6);
    const QStringList amounts[] = { { u"4100"_s, u"10"_s, u"1.8"_s, u"0.71"_s, u"12.51"_s },
                                    { u"4200"_s, u"20"_s, u"3"_s, u"1.38"_s, u"24.38"_s },
                                    { u"4500"_s, u"100"_s, u"0"_s, u"0"_s, u"100"_s } };
    const QRegularExpression chitForm(u"^[A-Z][1-9][0-9]{0,5}$"_s);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        const QVariantList &row = rows.at(i);
        const QStringList &a = amounts[i % 3];
        expectRow(row,
                  { a[0], row.at(1).toString(), u"20240312"_s, i < 3 ? u"1001"_s : u"1002"_s, a[1],
                    a[2], a[3], a[4], u"AutoGen"_s, u"March"_s, u"9"_s, u"0"_s });
        EXPECT_TRUE(chitForm.match(row.at(1).toString()).hasMatch());
        EXPECT_EQ(row.at(1), rows.at(i < 3 ? 0 : 3).at(1));
    }
    EXPECT_NE(rows.at(0).at(1), rows.at(3).at(1));
    EXPECT_EQ(helpText(h), u"Charges generated."_s);
    EXPECT_EQ(h.control(u"frmbundle.progress"_s).caption, u"2 of 2 members"_s);
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
    };
    const QString prompt = u"Set Date To Use"_s, confirm = u"Please confirm..."_s,
                  again = u"Already billed..."_s;
    const QString day = u"20240312"_s, adams = u"1001, 20240312, 'AutoGen', ''"_s,
                  baker = u"1002, 20240312, 'AutoGen', ''"_s;
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
        Watch watch(h);
        const QList<QVariantList> rows = generate(h, c.answer, c.yes);
        EXPECT_EQ(h.dialogTitles(), c.boxes);
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
    };
    const QString noScTax = u"update ar set artaxsrvchg = 'N'"_s,
                  consolidate = u"update ar set arconsolidate = 'Y'"_s,
                  exempt = Adams + u" TaxExempt"_s;
    const Case cases[] = {
        { u"10.00"_s, noScTax, {}, Adams, { u"1.8"_s, u"0.6"_s, u"12.4"_s }, u"24.80"_s },
        { u"10.00"_s, {}, {}, Adams, { u"1.8"_s, u"0.71"_s, u"12.51"_s }, u"25.02"_s },
        { u"-10.00"_s, {}, {}, Adams, { u"-1.8"_s, u"-0.71"_s, u"-12.51"_s }, u"-25.02"_s },
        { u"10.00"_s, consolidate, {}, Adams, { u"0"_s, u"0"_s, u"10"_s }, u"20.00"_s },
        // 4.35 is held a hair below: the total counts it as 435 cents all the same.
        { u"4.35"_s, consolidate, {}, Adams, { u"0"_s, u"0"_s, u"4.35"_s }, u"8.70"_s },
        { u"10.00"_s, {}, u"cmdtaxbypass"_s, Adams, { u"1.8"_s, u"0"_s, u"11.8"_s }, u"23.60"_s },
        { u"10.00"_s, {}, u"cmdscbypass"_s, Adams, { u"0"_s, u"0.6"_s, u"10.6"_s }, u"21.20"_s },
        { u"10.00"_s, {}, {}, exempt, { u"1.8"_s, u"0"_s, u"11.8"_s }, u"24.31"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.price + c.config + c.bypass + c.member).toStdString());
        Harness h;
        openWindow(h, { u"4100.000 , "_s + c.price + u" - FOOD"_s }, { c.member, Baker }, c.config,
                   u"20240312"_s);
        if (!c.bypass.isEmpty())
            h.click(c.bypass);
        Watch watch(h);
        const QList<QVariantList> rows = generate(h);
        EXPECT_EQ(watch.summary, u"To generate: 2 members, 1 items, 2 rows, total "_s + c.total);
        ASSERT_EQ(rows.size(), 2);
        expectRow(rows.at(0).mid(5, 3), c.expected);
        // Exemption is the listed member's own: the next member pays the tax.
        if (c.member != Adams)
            expectRow(rows.at(1).mid(5, 3), { u"1.8"_s, u"0.71"_s, u"12.51"_s });
    }
}

// A failure that would recur is told once; the chits written before it stay whole, and the
// window says where to resume.
TEST(GenerateTest, AFailureStopsWithOneReportAndLeavesWholeChitsOnly)
{
    struct Case
    {
        bool refuse; // the second member's second row
        QStringList boxes;
        int rows;
        QString stopped, progress;
    };
    const Case cases[] = {
        // An account without rates stops the run before the confirmation.
        { false, { u"Varnest Codes"_s }, 0, u"0 chits written. Stopped at member "_s + Adams, {} },
        // The second member's second row is refused: the first row of that chit goes too.
        { true,
          { u"Please confirm..."_s, u"Varnest Codes"_s },
          2,
          u"1 chits written. Stopped at member "_s + Baker,
          u"1 of 2 members"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stopped.toStdString());
        Harness h;
        if (c.refuse) {
            h.exec(u"ar"_s,
                   u"insert into ar0 (aracctnum, arsrvchg, arsalestax) values (4999, 0, 0)"_s);
            h.exec(u"daily"_s,
                   h.onServer()
                       ? u"create function refuse() returns trigger language plpgsql as $$begin "
                         u"if new.armember = 1002 and new.arglacct = 4999 then raise exception "
                         u"'refused'; end if; return new; end$$; create trigger refuse before "
                         u"insert on ardaily for each row execute function refuse()"_s
                       : u"create trigger refuse before insert on ardaily when new.armember = "
                         u"1002 and new.arglacct = 4999 begin select raise(abort, 'refused'); "
                         u"end"_s);
        }
        openWindow(h, { Food, u"4999.000 , 5.00 - NONE"_s }, { Adams, Baker }, {}, u"20240312"_s);
        EXPECT_EQ(generate(h).size(), c.rows);
        EXPECT_EQ(h.dialogTitles(), c.boxes);
        EXPECT_TRUE(h.dialogs().last().text.startsWith(u"Code "_s));
        EXPECT_EQ(helpText(h), c.stopped + u'.');
        EXPECT_EQ(h.control(u"frmbundle.progress"_s).caption, c.progress);
        EXPECT_TRUE(h.control(u"frmbundle.cmdgenerate"_s).enabled);
        EXPECT_TRUE(h.control(u"frmbundle.cmdexit"_s).enabled);
    }
}

// While rows are written only Help is available, and closing either window by its title
// bar waits until every chit is written.
TEST(GenerateTest, ClosingAWindowWhileChitsAreWrittenWaitsForTheLastChit)
{
    const std::pair<QString, bool> cases[] = { { u"frmbundle"_s, true }, { u"arinput"_s, false } };
    for (const auto &[window, stillRunning] : cases) {
        SCOPED_TRACE(window.toStdString());
        Harness h;
        openWindow(h, { Food }, { Adams, Baker, Adams }, {}, u"20240312"_s);
        Watch watch(h);
        watch.closing = window;
        EXPECT_EQ(generate(h).size(), 3);
        EXPECT_EQ(watch.availableMidway, QStringList { u"cmdhelp"_s });
        EXPECT_EQ(watch.progressMidway, u"1 of 3 members"_s);
        EXPECT_FALSE(Form::find(window));
        EXPECT_EQ(h.running(), stillRunning);
    }
}

} // namespace
