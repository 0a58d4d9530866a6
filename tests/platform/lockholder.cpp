// Holds the single-instance lock of the path given, for the tests that need another
// process in the way. Ends when its standard input closes, so it never outlives the test.
#include "platform/singleinstance.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Named like the program, which is not its file name, as in the real thing.
    QCoreApplication::setApplicationName(u"Tallic"_s);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2)
        return 2;

    tallic::SingleInstance instance(arguments.at(1));
    if (!instance.claim().claimed()) {
        std::puts("busy");
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    while (std::getchar() != EOF) { }
    return 0;
}
