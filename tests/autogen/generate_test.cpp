// Generate Chits as the operator runs it: the lists saved first, the date, the
// confirmation, and the rows it leaves in ardaily.
#include "entry/arinput.h"
#include "entry/chit.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <utility>

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
                const QStringList &configSql = {}, const QString &entryDate = {})
{
    h.createFile(u"bundle1.ini"_s, (items.join(u"\r\n"_s) + u"\r\n"_s).toLatin1());
    h.createFile(u"bundle2.ini"_s, (members.join(u"\r\n"_s) + u"\r\n"_s).toLatin1());
    prepareMarch2024(h);
    for (const QString &sql : configSql)
        h.exec(u"config"_s, sql);
    startMarch2024(h);
    entry()->Text1(Field::ChitDate).setText(entryDate);
    h.click(u"cmdautogenerate"_s);
    h.clearDialogs();
}

void generate(Harness &h, const QString &date = u"20240312"_s, bool yes = true)
{
    h.queueInputs({ date });
    h.queueAnswers({ yes });
    h.click(u"frmbundle.cmdgenerate"_s);
}

// Account, chit number, date, member, base, service charge, tax, total, origin, memo.
QList<QVariantList> generated(Harness &h)
{
    return h.rows(u"daily"_s,
                  u"select arglacct, tallicnum, architdate, armember, arbasesale, arsrvchg, "
                  u"artax, artotal, arorigin, armemo, arsource, aremployee from ardaily "
                  u"order by rowid"_s);
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
    generate(h);

    const QList<QVariantList> rows = generated(h);
    ASSERT_EQ(rows.size(), 6);
    const QStringList amounts[] = {
        { u"4100"_s, u"10"_s, u"1.8"_s, u"0.71"_s, u"12.51"_s },
        { u"4200"_s, u"20"_s, u"3"_s, u"1.38"_s, u"24.38"_s },
        { u"4500"_s, u"100"_s, u"0"_s, u"0"_s, u"100"_s },
    };
    const QRegularExpression chitForm(u"^[A-Z][1-9][0-9]{0,5}$"_s);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        const QVariantList &row = rows.at(i);
        const QStringList &a = amounts[i % 3];
        expectRow(row,
                  { a[0], row.at(1).toString(), u"20240312"_s, i < 3 ? u"1001"_s : u"1002"_s, a[1],
                    a[2], a[3], a[4], u"AutoGen"_s, u"March"_s, u"9"_s, u"0"_s });
        EXPECT_TRUE(chitForm.match(row.at(1).toString()).hasMatch())
            << row.at(1).toString().toStdString();
        EXPECT_EQ(row.at(1), rows.at(i < 3 ? 0 : 3).at(1));
    }
    EXPECT_NE(rows.at(0).at(1), rows.at(3).at(1));
    EXPECT_EQ(helpText(h), u"Charges generated."_s);
    EXPECT_TRUE(h.control(u"frmbundle.cmdgenerate"_s).enabled);
}

TEST(GenerateTest, TheDateComesFromThePromptAndAnUnusableOneWritesNothing)
{
    const Dialog refused
        = box(u"Date entered: 20241231"_s, u"The date chosen is too far ahead in time. Redo."_s,
              DialogIcon::Information);
    struct Case
    {
        QString entryDate; // the entry screen's date box
        QString answer;
        QString stored; // empty: nothing written
        bool confirmed; // the confirmation was asked
        QList<Dialog> after; // boxes after the prompt and any confirmation
    };
    const Case cases[] = {
        // The entry screen's date is taken as it is, without asking.
        { u"20240314"_s, u"0315"_s, u"20240314"_s, true, {} },
        { {}, u"20240312"_s, u"20240312"_s, true, {} },
        { {}, u"0315"_s, u"20240315"_s, true, {} },
        { {}, u"123"_s, {}, false, {} },
        { {}, u""_s, {}, false, {} },
        // Four digits take this year, and the date is then held to the open month.
        { {}, u"1231"_s, {}, false, { refused } },
    };
    const Dialog prompt { DialogKind::Input, u"Set Date To Use"_s,
                          u"Enter the date for these generated chits\nin YYYYMMDD format.\n\n"
                          u"Press ENTER to accept the current date."_s,
                          DialogIcon::None };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        Harness h;
        openWindow(h, { Food }, { Adams }, {}, c.entryDate);
        generate(h, c.answer);
        QList<Dialog> shown = h.dialogs();
        if (c.entryDate.isEmpty()) {
            ASSERT_FALSE(shown.isEmpty());
            EXPECT_EQ(shown.takeFirst(), prompt);
        }
        EXPECT_EQ(!shown.isEmpty() && shown.first().title == u"Please confirm..."_s, c.confirmed);
        EXPECT_EQ(shown.mid(c.confirmed ? 1 : 0), c.after);
        const QList<QVariantList> rows = generated(h);
        ASSERT_EQ(rows.size(), c.stored.isEmpty() ? 0 : 1);
        if (!rows.isEmpty()) {
            EXPECT_EQ(rows.first().at(2).toString(), c.stored);
        }
    }
}

TEST(GenerateTest, NoAtTheConfirmationWritesNothingButBothListsAreSaved)
{
    Harness h;
    openWindow(h, { Food }, { Adams, Baker });
    // The files gone from under the open window: only the save can bring them back.
    QDir data(h.dataDir());
    ASSERT_TRUE(data.remove(u"bundle1.ini"_s) && data.remove(u"bundle2.ini"_s));
    generate(h, u"20240312"_s, false);

    EXPECT_EQ(h.dialogTitles(), (QStringList { u"Set Date To Use"_s, u"Please confirm..."_s }));
    EXPECT_TRUE(generated(h).isEmpty());
    EXPECT_EQ(h.control(u"frmbundle.helpwindow"_s).text, u"Bundle saved."_s);
    EXPECT_EQ(h.control(u"frmbundle.helpwindow2"_s).text, u"Member list saved."_s);
    for (const auto &[file, bytes] :
         { std::pair { u"bundle1.ini"_s, Food + u"\r\n"_s },
           std::pair { u"bundle2.ini"_s, Adams + u"\r\n"_s + Baker + u"\r\n"_s } }) {
        QFile saved(data.filePath(file));
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << file.toStdString();
        EXPECT_EQ(saved.readAll(), bytes.toLatin1());
    }
    EXPECT_EQ(h.focused(), u"frmbundle.cmdexit"_s);
}

// Price 10.00 on an account at 0.18 service charge and 0.06 tax.
TEST(GenerateTest, ChargesFollowTheRatesConsolidationTheBypassesAndExemption)
{
    struct Case
    {
        const char *name;
        QString price;
        QStringList config; // changes to the A/R settings
        QStringList bypasses; // the entry screen's buttons pressed
        QString member;
        QStringList expected; // service charge, tax, total
    };
    const QString noScTax = u"update ar set artaxsrvchg = 'N'"_s;
    const Case cases[] = {
        { "plain", u"10.00"_s, { noScTax }, {}, Adams, { u"1.8"_s, u"0.6"_s, u"12.4"_s } },
        { "taxed sc", u"10.00"_s, {}, {}, Adams, { u"1.8"_s, u"0.71"_s, u"12.51"_s } },
        { "negative", u"-10.00"_s, {}, {}, Adams, { u"-1.8"_s, u"-0.71"_s, u"-12.51"_s } },
        { "consolidated",
          u"10.00"_s,
          { u"update ar set arconsolidate = 'Y'"_s },
          {},
          Adams,
          { u"0"_s, u"0"_s, u"10"_s } },
        { "tax bypass",
          u"10.00"_s,
          {},
          { u"cmdtaxbypass"_s },
          Adams,
          { u"1.8"_s, u"0"_s, u"11.8"_s } },
        { "sc bypass",
          u"10.00"_s,
          {},
          { u"cmdscbypass"_s },
          Adams,
          { u"0"_s, u"0.6"_s, u"10.6"_s } },
        { "exempt",
          u"10.00"_s,
          {},
          {},
          u"1001 - ADAMS, ANN TaxExempt"_s,
          { u"1.8"_s, u"0"_s, u"11.8"_s } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        openWindow(h, { u"4100.000 , "_s + c.price + u" - FOOD"_s }, { c.member, Baker }, c.config);
        for (const QString &button : c.bypasses)
            h.click(button);
        h.clearDialogs();
        generate(h);
        const QList<QVariantList> rows = generated(h);
        ASSERT_EQ(rows.size(), 2);
        expectRow(rows.at(0).mid(5, 3), c.expected);
        // Exemption is the listed member's own: the next member pays the tax.
        if (c.member != Adams)
            expectRow(rows.at(1).mid(5, 3), { u"1.8"_s, u"0.71"_s, u"12.51"_s });
    }
}

TEST(GenerateTest, AnAccountWithoutRatesStopsWithOneReportAndWritesNoPartChit)
{
    Harness h;
    openWindow(h, { Food, u"4999.000 , 5.00 - NONE"_s }, { Adams, Baker });
    generate(h);
    EXPECT_EQ(h.dialogTitles(),
              (QStringList { u"Set Date To Use"_s, u"Please confirm..."_s, u"Varnest Codes"_s }));
    EXPECT_TRUE(h.dialogs().last().text.startsWith(u"Code 3021 - "_s));
    EXPECT_TRUE(generated(h).isEmpty());
    EXPECT_EQ(helpText(h), u"0 chits written. Stopped at member "_s + Adams + u'.');
    EXPECT_TRUE(h.control(u"frmbundle.cmdgenerate"_s).enabled);
}

} // namespace
