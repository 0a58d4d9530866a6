// Another workstation generating charges: holds Generate Chits' lock of a date and memo in a
// data folder, as the user given, until its standard input closes.
//
//   autogen_generationholder DIR DATE MEMO USER
#include "store/generationlock.h"
#include "testkit/fakeplatform.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 5 || !QDir::setCurrent(arguments.at(1)))
        return 2;
    tallic::testkit::FakePlatform machine;
    tallic::setPlatform(&machine);
    tallic::GenerationLock lock;
    const auto taken = lock.take(arguments.at(2), arguments.at(3), arguments.at(4));
    std::puts(taken && taken->taken ? "ready" : "busy");
    std::fflush(stdout);
    while (std::getchar() != EOF) { }
    return 0;
}
