#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char **argv)
{
    // The run on a server was asked for, but no server named: nothing to test (CTest's
    // skip code).
    if (qEnvironmentVariable("TALLIC_TEST_ENGINE") == QStringLiteral("postgres")
        && qEnvironmentVariableIsEmpty("TALLIC_TEST_POSTGRES")) {
        std::puts("No PostgreSQL server: TALLIC_TEST_POSTGRES is not set.");
        return 77;
    }
    // CTest sets the platform; a test run by hand needs no display either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
