#include "autogen/frmbundle.h"
#include "entry/program.h"
#include "platform/runtime.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The suite's companions started from here end when this program has ended.
    qputenv("TALLIC_PID", QByteArray::number(QCoreApplication::applicationPid()));
    QApplication::setApplicationName(QStringLiteral("Tallic"));

    // The suite's menu passes the launch code, level and user name as arguments; the
    // program reads them as one string.
    QStringList arguments = QApplication::arguments().mid(1);
    tallic::setEndAction([] { QCoreApplication::exit(tallic::exitStatus()); });
    tallic::installAutoGenerate();
    tallic::beginRun(arguments.join(QLatin1Char(' ')));
    if (tallic::programEnding())
        return tallic::exitStatus();
    return QApplication::exec();
}
