#include "platform/colors.h"
#include "platform/form.h"
#include "suite/windows.h"
#include "testkit/harness.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::Harness;

namespace {

constexpr quint32 Green = 0x00FF00;
constexpr quint32 LightGrey = 0xC0C0C0;

// The first line of practice.dat names the colour of a practice company's windows.
TEST(WindowsTest, ThePracticeMarkerFileColoursTheWindow)
{
    struct Case
    {
        std::optional<QByteArray> contents; // none: no practice.dat
        quint32 colour;
        QString file = u"practice.dat"_s;
    };
    const Case cases[] = {
        { std::nullopt, Colors::White },
        { QByteArray(), Colors::Red },
        { QByteArray(" green \r\nblue\r\n"), Green },
        { QByteArray("red\n"), 0x0000FF },
        { QByteArray("\tcyan\n"), 0xFFFF00, u"PRACTICE.DAT"_s },
        { QByteArray("\ngreen\n"), Colors::Red },
        { QByteArray("&HC0C0C0&\n"), LightGrey },
        { QByteArray("&h00c0c0&\n"), 0x00C0C0 },
        { QByteArray("&HC0C0C0\n"), Colors::Red },
        { QByteArray("&H123456789&\n"), Colors::Red },
    };
    Harness h;
    const QDir folder(h.dataDir());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.contents.value_or("no file").toStdString());
        for (const QString &name : folder.entryList({ u"practice.dat"_s }))
            QFile::remove(folder.filePath(name));
        if (c.contents)
            h.createFile(c.file, *c.contents);
        Form form(u"arinput"_s, QSize(300, 200));
        form.setBackColor(Colors::White);
        ApplyPracticeColour(&form);
        EXPECT_EQ(form.backColor(), c.colour);
    }
}

} // namespace
