// The lookups on the demo club: each lists its rows, filters as the operator types, and
// leaves the chosen number on the clipboard.
#include "lookup.h"
#include "platform/qtplatform.h"
#include "testkit/harness.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic::lookup;
using tallic::testkit::Harness;

namespace {

TEST(LookupTest, EachFaceFiltersAsTypedAndServesTheNumberChosen)
{
    struct Case
    {
        QString program, typed;
        int rowsShown; // after the typing
        QString chosen;
    };
    const Case cases[] = {
        // Level-1 accounts only: not 4000, which is level 2.
        { u"OMBREL.EXE"_s, u"sales"_s, 3, u"4100"_s },
        { u"tassip.exe"_s, u"adams"_s, 2, u"1001"_s },
        // The employee field checks operator numbers in the demo club: the lookup leaves one.
        { u"wennic.exe"_s, u"4303"_s, 1, u"15"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.program));
        Harness h;
        LookupWindow window(*faceOf(c.program), u"mark of "_s + c.program);
        ASSERT_TRUE(window.load());
        EXPECT_GT(window.rows()->rowCount(), c.rowsShown);
        // The first letter typed into the list, as after a click there: it goes to the search.
        QTest::keyClicks(window.findChild<QTableView *>(), c.typed.left(1));
        QTest::keyClicks(window.search(), c.typed.mid(1));
        EXPECT_EQ(window.search()->text(), c.typed);
        EXPECT_EQ(window.rows()->rowCount(), c.rowsShown);
        QTest::keyClick(window.search(), Qt::Key_Return);
        EXPECT_EQ(window.chosen(), c.chosen);
        // Tallic reads it through its platform, as it does after the lookup has ended.
        EXPECT_EQ(tallic::QtPlatform().clipboardText(), c.chosen);
        // With the mark it was started with, which Tallic takes into the lookup's field only.
        EXPECT_EQ(tallic::QtPlatform().clipboardLookup(), u"mark of "_s + c.program);
    }
    EXPECT_FALSE(faceOf(u"lookup"_s));

    // A missing database is said so in the window, and nothing is chosen.
    Harness h;
    h.removeDatabase(u"master"_s);
    LookupWindow window(Face::Members);
    EXPECT_FALSE(window.load());
    EXPECT_TRUE(window.problem().contains(u"MASTER.MDB"_s)) << qPrintable(window.problem());
}

} // namespace
