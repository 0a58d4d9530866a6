#include <QApplication>

#include <gtest/gtest.h>

// The tests type into windows on the X server named by TALLIC_XVFB_DISPLAY; without it
// they skip, and the application draws off screen.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display, whatever the environment says.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    const QByteArray display = qgetenv("TALLIC_XVFB_DISPLAY");
    if (display.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        qputenv("DISPLAY", display);
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
