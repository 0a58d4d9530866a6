#include "suite/sharedstate.h"
#include "suite/guards.h"
#include "testkit/harness.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::DialogIcon;
using tallic::testkit::DialogKind;
using tallic::testkit::Harness;

namespace {

const QString UpdateText = u"Before you may continue, you must run the \n"
                           u"DBUPDATE module.  Note that no users may be  \n"
                           u"using Varnest Accounting during an update.  \n"
                           u"\n"_s;
const QString PointOfSaleLines = u"Unless the instructions specify otherwise, it is NOT \n"
                                 u"necessary to shut down Pontiq Point of sale."_s;

TEST(GuardsTest, CheckDbUpdateByTheMarkerFiles)
{
    struct Case
    {
        const char *what;
        QStringList files;
        QString shown; // empty: no box
    };
    const Case cases[] = {
        { "no marker", {}, {} },
        { "point of sale alone", { u"PONTIQ.EXE"_s }, {} },
        { "update pending", { u"dbupdate.dat"_s }, UpdateText },
        { "update pending, point of sale",
          { u"dbupdate.dat"_s, u"PONTIQ.EXE"_s },
          UpdateText + PointOfSaleLines },
        // The suite writes its names in either case.
        { "names in other cases",
          { u"DBUPDATE.DAT"_s, u"pontiq.exe"_s },
          UpdateText + PointOfSaleLines },
    };
    Harness h;
    const QDir folder(h.dataDir());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        h.clearDialogs();
        for (const QString &name : folder.entryList({ u"dbupdate.dat"_s, u"pontiq.exe"_s }))
            QFile::remove(folder.filePath(name));
        for (const QString &name : c.files) {
            QFile file(folder.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        state().MsgText = u"left over"_s;
        CheckDbUpdate();

        if (c.shown.isEmpty()) {
            EXPECT_TRUE(h.dialogs().isEmpty());
            EXPECT_EQ(state().MsgText, QString());
            continue;
        }
        EXPECT_EQ(state().MsgText, u"UPDREQ"_s);
        ASSERT_EQ(h.dialogs().size(), 1);
        const testkit::Dialog box = h.dialogs().at(0);
        EXPECT_EQ(box.kind, DialogKind::Message);
        EXPECT_EQ(box.icon, DialogIcon::Critical);
        EXPECT_EQ(box.title, u"Varnest Database Update Required"_s);
        EXPECT_EQ(box.text, c.shown);
    }
}

} // namespace
