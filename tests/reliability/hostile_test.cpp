// Random keys typed and pasted into every field and the memo, by a user whose name holds an
// apostrophe: no crash, no database failure, and ardaily holds exactly the chits posted,
// as the screen showed them. TALLIC_SOAK=1 types 10,000 strings instead of a few hundred.
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHash>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace Qt::Literals::StringLiterals;
using namespace tallic::testkit;

namespace {

// What operators, scanners and careless pastes bring, between the bars.
const QStringList Texts
    = uR"( |'|"|''|`|{|}|{}|[x]|(1)|%|^|~|+|*|\|;|,|.|-|0|1001|4100|99999999999|1e308|20240315)"
      uR"(|O'BRIEN|%s%n|'; drop table ardaily; --|' or '1'='1|1); delete from ardaily where (1=1)"
      uR"(|" or ""="|x' union select * from staff --|é|Ünïcödé|ß|Ø|Ж|中文|€)"_s.split(u'|');

// Keys besides text: Alt codes (39 is the apostrophe; without Num Lock, arrows), editing.
const QStringList Keys = u"{NUMLOCK}%({NUMPAD0}{NUMPAD3}{NUMPAD9}){NUMLOCK}|{NUMLOCK}%({NUMPAD3}"
                         u"{NUMPAD4}){NUMLOCK}|%({NUMPAD2}{NUMPAD5}{NUMPAD5})|{BS}|{DEL}|{LEFT 2}|"
                         u"{HOME}|^a"_s.split(u'|');

// The titles of the boxes that tell of a database failure.
const QStringList FailureBoxes
    = { u"Varnest"_s, u"Varnest Codes"_s, u"Chit not stored"_s, u"Uh-oh..."_s };

// Types a random string into the field at the focus, piece by piece, now and then a piece
// pasted; it stops where a key moved on ("+" copies the previous chit's value).
void typeHostile(Harness &h, std::mt19937 &random)
{
    auto pick = [&random](const QStringList &list) { return list.at(random() % list.size()); };
    const QString at = h.focused();
    for (int i = 0, count = 1 + int(random() % 4); i < count && h.focused() == at; ++i) {
        QString text = pick(Texts), keys;
        if (random() % 30 == 0)
            text = text.repeated(1 + int(random() % 400)); // a very long text
        if (random() % 6 == 0) {
            QGuiApplication::clipboard()->setText(text);
            keys = u"^v"_s;
        } else if (random() % 4 == 0) {
            keys = pick(Keys);
        } else {
            for (const QChar c : text)
                keys += u"+^%~(){}"_s.contains(c) ? u'{' + c + u'}' : QString(c);
        }
        h.keys(keys);
    }
}

TEST(HostileInputTest, RandomKeysInEveryFieldStoreExactlyTheChitsPostedAsShown)
{
    const int strings = qEnvironmentVariableIntValue("TALLIC_SOAK") > 0 ? 10000 : 300;
    std::mt19937 random(20240312);
    Harness h;
    h.exec(u"user"_s, u"insert into staff values ('O''BRIEN', 'A/R Master', '', 0)"_s);
    h.exec(u"master"_s, u"insert into classcode values ('VIP''S', 'Very Important')"_s);
    h.exec(u"master"_s, u"update acctinfo set classcode = 'VIP''S' where acctnumber = 1002"_s);
    prepareMarch2024(h);
    h.setCommandLine(u"KQV05O'BRIEN"_s);
    h.queuePickedDates({ u"20240312"_s });
    h.start();
    ASSERT_EQ(h.focused(), u"Text1(1)"_s);
    EXPECT_EQ(h.rows(u"user"_s, u"select username from staff where location = 'A/R Chit'"_s),
              QList<QVariantList> { { u"O'BRIEN"_s } });

    // A chit number pasted with an apostrophe, for a member whose class has one.
    QGuiApplication::clipboard()->setText(u"O'1"_s);
    h.keys(u"4100{ENTER}^v{ENTER}{ENTER}1002{ENTER}"_s);
    EXPECT_TRUE(h.control(u"Text3"_s).text.endsWith(u" -- VIP'S-Very Important"_s));
    h.keys(u"{ENTER}10{ENTER}{ENTER}"_s);
    // Each chit posted as the screen showed it: number, user, memo ("null" for none).
    const QString user = u"O'BRIEN10:15:00"_s;
    QList<QStringList> posted = { { u"O'1"_s, user, u"null"_s } };
    QStringList failures;
    // Covers and the memo are keyed too.
    h.click(u"Label1(6)"_s);
    h.click(u"Label2"_s);
    h.click(u"cmdredo"_s);

    const QHash<QString, QString> good
        = { { u"Text1(1)"_s, u"4100"_s }, { u"Text1(2)"_s, u"G1"_s }, { u"Text1(3)"_s, {} },
            { u"Text1(4)"_s, u"1001"_s }, { u"Text1(5)"_s, {} },      { u"Text1(6)"_s, u"2"_s },
            { u"Text1(7)"_s, u"10"_s },   { u"txtmemo"_s, {} } };
    for (int typed = 0; typed < strings;) {
        const QString at = h.focused();
        if (at == u"cmdokay"_s) {
            const QString memo = h.control(u"txtmemo"_s).text;
            const QStringList chit
                = { h.control(u"Text1(2)"_s).text, user, memo.isEmpty() ? u"null"_s : memo };
            const int count = h.control(u"Text5"_s).text.toInt();
            h.keys(u"{ENTER}"_s);
            if (h.control(u"Text5"_s).text.toInt() == count + 1)
                posted << chit;
            else
                h.click(u"cmdredo"_s);
        } else {
            ASSERT_TRUE(good.contains(at)) << qPrintable(at);
            ++typed;
            // Half the time the junk follows a good value, so that most chits get posted.
            if (random() % 2 == 0)
                h.keys(good.value(at));
            typeHostile(h, random);
            if (h.focused() == at)
                h.keys(u"{ENTER}"_s);
            if (h.focused() == at)
                h.keys(u"{HOME}+{END}{DEL}"_s + good.value(at) + u"{ENTER}"_s);
            // Refused still: an account accepted empty earlier lets no base sale pass.
            if (h.focused() == at)
                h.click(u"cmdredo"_s);
        }
        for (const Dialog &dialog : h.dialogs()) {
            if (FailureBoxes.contains(dialog.title))
                failures << dialog.title + u": "_s + dialog.text;
        }
        h.clearDialogs();
    }

    EXPECT_EQ(failures, QStringList());
    EXPECT_EQ(h.rows(u"daily"_s, u"pragma integrity_check"_s), QList<QVariantList> { { u"ok"_s } });
    QList<QStringList> stored;
    for (const QVariantList &row : chits(h))
        stored << QStringList { row.at(1).toString(), row.at(15).toString(),
                                row.at(16).isNull() ? u"null"_s : row.at(16).toString() };
    EXPECT_EQ(stored, posted);
    std::printf("%d strings typed, %d chits posted\n", strings, int(posted.size()));
}

} // namespace
