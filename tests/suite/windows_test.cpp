#include "platform/colors.h"
#include "platform/form.h"
#include "suite/windows.h"
#include "testkit/harness.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

#include <optional>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::Harness;

namespace {

constexpr quint32 Green = 0x00FF00;
constexpr quint32 LightGrey = 0xC0C0C0;

TEST(WindowsTest, PracticeColourWords)
{
    struct Case
    {
        QString line;
        quint32 colour;
    };
    const Case cases[] = {
        { u""_s, Colors::Red },          { u"BLACK"_s, 0x000000 },
        { u"red"_s, 0x0000FF },          { u" green "_s, Green },
        { u"Yellow"_s, 0x00FFFF },       { u"blue"_s, 0xFF0000 },
        { u"MAGENTA"_s, 0xFF00FF },      { u"\tcyan"_s, 0xFFFF00 },
        { u"white"_s, 0xFFFFFF },        { u"purple"_s, Colors::Red },
        { u"&HC0C0C0&"_s, LightGrey },   { u"&h00c0c0&"_s, 0x00C0C0 },
        { u"&HC0C0C0"_s, Colors::Red },  { u"&H&"_s, Colors::Red },
        { u"&HC0G0C0&"_s, Colors::Red }, { u"&H123456789&"_s, Colors::Red },
    };
    for (const Case &c : cases)
        EXPECT_EQ(practiceColour(c.line), c.colour) << c.line.toStdString();
}

TEST(WindowsTest, ApplyPracticeColourReadsTheMarkerFile)
{
    struct Case
    {
        const char *what;
        QString file;
        std::optional<QByteArray> contents; // none: no practice.dat
        quint32 colour;
    };
    const Case cases[] = {
        { "no marker", u"practice.dat"_s, std::nullopt, Colors::White },
        { "empty marker", u"practice.dat"_s, QByteArray(), Colors::Red },
        { "colour word, second line ignored", u"practice.dat"_s, QByteArray(" green \r\nblue\r\n"),
          Green },
        { "literal", u"practice.dat"_s, QByteArray("&HC0C0C0&\n"), LightGrey },
        { "literal without its ampersand", u"practice.dat"_s, QByteArray("&HC0C0C0\n"),
          Colors::Red },
        { "no line end", u"practice.dat"_s, QByteArray("Blue"), 0xFF0000 },
        { "upper-case file name", u"PRACTICE.DAT"_s, QByteArray("cyan\n"), 0xFFFF00 },
        { "blank first line", u"practice.dat"_s, QByteArray("\ngreen\n"), Colors::Red },
    };
    Harness h;
    const QDir folder(h.dataDir());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const QString &name : folder.entryList({ u"practice.dat"_s }))
            QFile::remove(folder.filePath(name));
        if (c.contents) {
            QFile file(folder.filePath(c.file));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(*c.contents);
        }
        Form form(u"arinput"_s, QSize(300, 200));
        form.setBackColor(Colors::White);
        ApplyPracticeColour(&form);
        EXPECT_EQ(form.backColor(), c.colour);
    }
}

TEST(WindowsTest, CenterFormCentresOnTheScreen)
{
    Harness h;
    Form form(u"frmbundle"_s, QSize(300, 200));
    form.move(0, 0);
    form.show();
    CenterForm(&form);

    const QRect screen = form.screen()->geometry();
    const QRect frame = form.frameGeometry();
    EXPECT_LE(qAbs(frame.center().x() - screen.center().x()), 1);
    EXPECT_LE(qAbs(frame.center().y() - screen.center().y()), 1);
    EXPECT_EQ(form.size(), QSize(300, 200));
}

TEST(WindowsTest, SetTopmostOnAndOffLeavesThePlace)
{
    Harness h;
    Form form(u"arinput"_s, QSize(300, 200));
    form.move(40, 30);
    form.show();
    const QRect before = form.geometry();

    EXPECT_NE(SetTopmost(&form, qint16(-1)), 0);
    ASSERT_NE(form.windowHandle(), nullptr);
    EXPECT_TRUE(form.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.geometry(), before);

    EXPECT_NE(SetTopmost(&form, qint16(0)), 0);
    EXPECT_FALSE(form.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(form.geometry(), before);

    EXPECT_EQ(SetTopmost(nullptr, qint16(-1)), 0);
}

} // namespace
