// The AutoGenerate window's bundle and member list, keyed as the operator keys them, and
// the list files they are kept in.
#include "platform/colors.h"
#include "platform/keygate.h"
#include "platform/qtplatform.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <utility>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

constexpr quint32 Navy = Rgb(0, 0, 128);

// The file's bytes; "missing" when there is no file.
QByteArray fileBytes(Harness &h, const QString &name)
{
    QFile file(QDir(h.dataDir()).filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

// Clicks into a box of the window and types over what it holds.
void retype(Harness &h, const QString &box, const QString &keys)
{
    h.click(u"frmbundle."_s + box);
    h.keys(u"{END}{BS 12}"_s + keys);
}

ControlState bundleControl(Harness &h, const QString &name)
{
    return h.control(u"frmbundle."_s + name);
}

TEST(BundleTest, AccountsAreCheckedOnLeavingAndTheBundleIsKeptInItsFileExactly)
{
    Harness h;
    h.exec(u"gl"_s, u"update gl0 set gllevel = 2 where glacctnum = 1200"_s);
    h.exec(u"gl"_s,
           u"update gl0 set glstatementdesc = 'Cotisation été €' where glacctnum = 4500"_s);
    h.exec(u"gl"_s, u"update gl0 set glstatementdesc = 'Pro ★ Shop' where glacctnum = 4300"_s);
    h.createFile(u"bundle1.ini"_s);
    startMarch2024(h);
    h.click(u"cmdautogenerate"_s);
    ASSERT_EQ(h.focused(), u"frmbundle.txtglnum"_s);
    EXPECT_EQ(bundleControl(h, u"List1"_s).items, QStringList());
    EXPECT_EQ(bundleControl(h, u"lblcount"_s).caption, u"0 members"_s);

    const Dialog notLevel1 = box(u"Oops..."_s, u"Not a level 1 posting account. Try again."_s,
                                 DialogIcon::Information);
    const Dialog forbidden = box(u"Account not allowed..."_s,
                                 u"You may not key a chit to either the A/R account or the G/L "
                                 u"current profit account. Please redo..."_s,
                                 DialogIcon::None);
    const Dialog missing
        = box(u"Invalid G/L Account"_s, u"# 99999.999 does not exist"_s, DialogIcon::Critical);
    struct Case
    {
        const char *typed, *shown;
        QList<Dialog> boxes;
    };
    const Case cases[] = {
        { "4100", "4100.000", {} },
        { "0", "", {} },
        { "abc", "", {} },
        { "100000", "", {} },
        { "99999.9995", "", {} },
        { "99999.999", "", { missing } },
        { "4000", "", { notLevel1 } },
        { "3900", "", { forbidden } },
        // The A/R account made a summary account: both refusals, one after the other.
        { "1200", "", { notLevel1, forbidden } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        h.clearDialogs();
        retype(h, u"txtglnum"_s, QString::fromLatin1(c.typed) + u"{ENTER}"_s);
        EXPECT_EQ(bundleControl(h, u"txtglnum"_s).text, QString::fromLatin1(c.shown));
        EXPECT_EQ(h.dialogs(), c.boxes);
        EXPECT_EQ(h.focused(),
                  c.boxes.isEmpty() ? u"frmbundle.txtprice"_s : u"frmbundle.txtglnum"_s);
    }

    // The account's description shows until the next box gives its prompt.
    retype(h, u"txtglnum"_s, u"4100"_s);
    h.click(u"frmbundle.txtmember"_s);
    EXPECT_EQ(bundleControl(h, u"helpwindow"_s).text, u"Acct #: 4100.000 Dining Room Food"_s);

    // A price of 0 adds nothing; a credit and a fraction are taken as the box shows them. A
    // description the list file's code page cannot hold is refused, never saved as "?".
    struct Item
    {
        const char *account, *price, *shown;
        QStringList bundle, boxes = {};
    };
    const QString credit = u"4100.000 , -5.00 - Dining Room Food"_s;
    const QString dues = u"4500.000 , .50 - Cotisation été €"_s;
    const Item items[] = {
        { "4100", "0", ".00", {} },
        { "4100", "-5", "-5.00", { credit } },
        { "4300", "2", "2.00", { credit }, { u"Oops..."_s } },
        { "4500", "0.5", ".50", { credit, dues } },
    };
    for (const Item &item : items) {
        SCOPED_TRACE(item.price);
        h.clearDialogs();
        retype(h, u"txtglnum"_s, QString::fromLatin1(item.account) + u"{ENTER}"_s);
        h.keys(u"{END}{BS 12}"_s + QString::fromLatin1(item.price) + u"{ENTER}"_s);
        ASSERT_EQ(h.focused(), u"frmbundle.cmdadd"_s);
        EXPECT_EQ(bundleControl(h, u"txtprice"_s).text, QString::fromLatin1(item.shown));
        h.keys(u"{ENTER}"_s);
        EXPECT_EQ(h.dialogTitles(), item.boxes);
        EXPECT_EQ(bundleControl(h, u"List1"_s).items, item.bundle);
        EXPECT_EQ(bundleControl(h, u"List1"_s).foreColor,
                  item.bundle.isEmpty() ? Navy : Colors::Red);
    }
    EXPECT_EQ(h.focused(), u"frmbundle.txtglnum"_s);
    EXPECT_EQ(bundleControl(h, u"txtprice"_s).text, QString());

    // Delete Item takes the entry picked; saving writes the list in the Western code page.
    h.click(u"frmbundle.List1"_s);
    h.keys(u"{HOME}"_s);
    EXPECT_EQ(bundleControl(h, u"helpwindow"_s).text, credit);
    h.click(u"frmbundle.cmddelete"_s);
    EXPECT_EQ(bundleControl(h, u"List1"_s).items, QStringList { dues });
    EXPECT_EQ(h.focused(), u"frmbundle.txtglnum"_s);
    EXPECT_EQ(fileBytes(h, u"bundle1.ini"_s), QByteArray());
    h.click(u"frmbundle.cmdsavelist"_s);
    EXPECT_EQ(fileBytes(h, u"bundle1.ini"_s),
              QByteArray("4500.000 , .50 - Cotisation \xe9t\xe9 \x80\r\n"));
    EXPECT_EQ(bundleControl(h, u"helpwindow"_s).text, u"Bundle saved."_s);
    EXPECT_EQ(bundleControl(h, u"List1"_s).foreColor, Navy);

    // New Bundle leaves the file alone: Exit asks whether to save the bundle, No keeps the
    // file, and the focus is back in the G/L field. Opened again, the saved bundle is back.
    h.click(u"frmbundle.cmdnew"_s);
    EXPECT_EQ(bundleControl(h, u"List1"_s).items, QStringList());
    EXPECT_EQ(bundleControl(h, u"List1"_s).foreColor, Colors::Red);
    h.clearDialogs();
    h.click(u"frmbundle.cmdexit"_s);
    EXPECT_EQ(h.dialogTitles(), QStringList { u"Save changes?"_s });
    ASSERT_TRUE(h.running());
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);
    h.click(u"cmdautogenerate"_s);
    EXPECT_EQ(bundleControl(h, u"List1"_s).items, QStringList { dues });
    EXPECT_EQ(bundleControl(h, u"List1"_s).foreColor, Navy);

    // An empty bundle saves as an empty file, also at Exit; Delete Bundle removes the file.
    h.click(u"frmbundle.cmdnew"_s);
    h.queueAnswers({ true });
    h.click(u"frmbundle.cmdexit"_s);
    EXPECT_EQ(fileBytes(h, u"bundle1.ini"_s), QByteArray());
    h.click(u"cmdautogenerate"_s);
    h.click(u"frmbundle.cmddeletelist"_s);
    EXPECT_EQ(fileBytes(h, u"bundle1.ini"_s), QByteArray("missing"));
    EXPECT_EQ(bundleControl(h, u"helpwindow"_s).text, u"Bundle deleted"_s);
}

TEST(BundleTest, AsksBeforeListingAMemberTwiceAndCountsAroundDeleteMember)
{
    Harness h;
    h.exec(u"master"_s,
           u"insert into acctinfo (acctnumber, lname, fname, classcode) values "
           u"(1234.01, 'SMITH', 'JANE ', 'TST'), (1234, ' SMITH ', 'JOHN', 'TST'), "
           u"(1200, 'ALLEN', null, 'TST')"_s);
    h.createFile(u"bundle2.ini"_s, "1001.00 - ADAMS, JOHN\r\n");
    startMarch2024(h);
    h.click(u"cmdautogenerate"_s);
    EXPECT_EQ(bundleControl(h, u"lblcount"_s).caption, u"1 members"_s);

    // The member box keeps what could be a member number and empties the rest.
    const std::pair<const char *, const char *> typed[]
        = { { "99999.99", "99999.99" }, { "100000", "" }, { "0.5", "" }, { "x", "" } };
    for (const auto &[keys, shown] : typed) {
        retype(h, u"txtmember"_s, QString::fromLatin1(keys) + u"{ENTER}"_s);
        EXPECT_EQ(bundleControl(h, u"txtmember"_s).text, QString::fromLatin1(shown)) << keys;
    }
    // A member not on file is refused with the check's box; one on file is listed. The
    // operator's text on the clipboard outlasts the checks.
    h.clearDialogs();
    h.setClipboard(u"Quarterly dues"_s);
    retype(h, u"txtmember"_s, u"1500{ENTER}{ENTER}1003{ENTER}{ENTER}"_s);
    EXPECT_EQ(h.clipboard(), u"Quarterly dues"_s);
    EXPECT_EQ(h.dialogs(),
              QList<Dialog> {
                  box(u"Member # Check"_s, u"Invalid member number!"_s, DialogIcon::Critical) });
    QStringList members { u"1001.00 - ADAMS, JOHN"_s, u"1003.00 - CARTER, WILLIAM"_s };
    EXPECT_EQ(bundleControl(h, u"List2"_s).items, members);
    EXPECT_EQ(bundleControl(h, u"List2"_s).foreColor, Colors::Red);
    EXPECT_EQ(h.focused(), u"frmbundle.txtmember"_s);

    // A member listed already would be charged twice: listed again only on Yes.
    h.clearDialogs();
    h.queueAnswers({ false, true });
    retype(h, u"txtmember"_s, u"1003{ENTER}{ENTER}1001{ENTER}{ENTER}"_s);
    EXPECT_EQ(h.dialogs().value(0),
              (Dialog { DialogKind::Question, u"Member listed already"_s,
                        u"Member 1003.00 - CARTER, WILLIAM is in the list already.\nList him "
                        u"again? He would be charged twice."_s,
                        DialogIcon::Question }));
    members << u"1001.00 - ADAMS, JOHN"_s;
    EXPECT_EQ(bundleControl(h, u"List2"_s).items, members);

    // By class: main accounts only or with the sub-accounts, in account order, names
    // trimmed, those listed already left out and counted; an unknown class is told, a blank
    // answer asks nothing more.
    const QString title = u"Select Members by Class Code Group"_s;
    h.queueInputs({ u"TST"_s, u"TST"_s, u"NONE"_s, QString() });
    h.queueAnswers({ false, true, false });
    h.clearDialogs();
    for (int i = 0; i < 4; ++i)
        h.click(u"frmbundle.cmdaddgroup"_s);
    members << u"1200 - ALLEN, "_s << u"1234 - SMITH, JOHN"_s << u"1234.01 - SMITH, JANE"_s;
    EXPECT_EQ(bundleControl(h, u"List2"_s).items, members);
    EXPECT_EQ(bundleControl(h, u"lblcount"_s).caption, u"6 members"_s);
    const QList<Dialog> asked = h.dialogs();
    ASSERT_EQ(asked.size(), 9);
    EXPECT_EQ(asked.at(4),
              box(title,
                  u"2 of the class's 3 members were in the list already and were not added "
                  u"again."_s,
                  DialogIcon::Information));
    EXPECT_EQ(
        asked.at(0),
        (Dialog { DialogKind::Input, title, u"Type the class code to use. Leave blank to cancel."_s,
                  DialogIcon::None }));
    EXPECT_EQ(asked.at(1),
              (Dialog { DialogKind::Question, title,
                        u"Select member SUB accounts (.01-.99) also?"_s, DialogIcon::Question }));
    EXPECT_EQ(asked.at(7),
              box(u"Oops..."_s, u"No records found with the selected class code."_s,
                  DialogIcon::Information));
    EXPECT_EQ(bundleControl(h, u"txtmember"_s).text, QString());

    // Leaving the list shows the count it keeps after Delete Member, bare; the member box
    // shows it with "members" on the next visit.
    h.click(u"frmbundle.List2"_s);
    h.keys(u"{HOME}"_s);
    h.click(u"frmbundle.cmddeletemember"_s);
    members.removeFirst();
    EXPECT_EQ(bundleControl(h, u"List2"_s).items, members);
    EXPECT_EQ(bundleControl(h, u"lblcount"_s).caption, u"5"_s);
    EXPECT_EQ(h.focused(), u"frmbundle.txtmember"_s);
    h.click(u"frmbundle.txtglnum"_s);
    h.click(u"frmbundle.txtmember"_s);
    EXPECT_EQ(bundleControl(h, u"lblcount"_s).caption, u"5 members"_s);

    h.click(u"frmbundle.cmdsavemember"_s);
    EXPECT_EQ(fileBytes(h, u"bundle2.ini"_s), (members.join(u"\r\n"_s) + u"\r\n"_s).toLatin1());
    EXPECT_EQ(bundleControl(h, u"helpwindow2"_s).text, u"Member list saved."_s);
    EXPECT_EQ(bundleControl(h, u"List2"_s).foreColor, Navy);
    h.click(u"frmbundle.cmddelmemlist"_s);
    EXPECT_EQ(fileBytes(h, u"bundle2.ini"_s), QByteArray("missing"));
    EXPECT_EQ(bundleControl(h, u"List2"_s).items, QStringList());
    EXPECT_EQ(bundleControl(h, u"helpwindow2"_s).text, u"List deleted"_s);
}

// The first question in a real box, answered with the key given and followed at once by
// Alt+G, as a quick operator types them; the later boxes as the harness answers them.
struct QuickAnswer final : MachineOverride
{
    using MachineOverride::MachineOverride;
    Qt::Key answer = Qt::Key_N;
    bool asked = false;
    QtPlatform real;

    int messageBox(const QString &text, const QString &title, BoxIcon icon,
                   BoxButtons buttons) override
    {
        if (std::exchange(asked, true))
            return inner.messageBox(text, title, icon, buttons);
        QTimer::singleShot(50, [this] {
            QWidget *box = QApplication::activeModalWidget();
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, answer);
            QTest::keyClick(KeyGate::keyTarget(), Qt::Key_G, Qt::AltModifier);
        });
        return real.messageBox(text, title, icon, buttons);
    }
};

// N leaves the box closing when Alt+G comes; Enter closes it at once, and Alt+G reaches the
// window before the window is active again. Either way Generate Chits runs next.
TEST(BundleTest, AltGTypedAsTheSubAccountsQuestionClosesIsNotLost)
{
    for (const Qt::Key answer : { Qt::Key_N, Qt::Key_Return }) {
        SCOPED_TRACE(answer);
        Harness h;
        h.exec(u"master"_s,
               u"insert into acctinfo (acctnumber, lname, fname, classcode) "
               u"values (1234, 'SMITH', 'JOHN', 'TST')"_s);
        startMarch2024(h);
        h.click(u"cmdautogenerate"_s);
        QuickAnswer quick(h);
        quick.answer = answer;
        h.queueInputs({ u"TST"_s });
        h.click(u"frmbundle.cmdaddgroup"_s);
        EXPECT_TRUE(QTest::qWaitFor([&h] {
            h.idle();
            return h.dialogTitles().contains(u"Please confirm..."_s);
        }));
        EXPECT_EQ(bundleControl(h, u"List2"_s).items, QStringList { u"1234 - SMITH, JOHN"_s });
    }
}

} // namespace
