// tallic-workspace: the suite's workspace editor, installed in the data folder as
// prastle.exe and started with "WJX" + level + user; the date to work on comes on the
// clipboard. It shows that day's chits batch by batch with each batch's totals, corrects
// and deletes chits as posting would have taken them, and prints the batch proof.

#include "tallicwatch.h"
#include "workspace.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tallic::tools::endWithTallic();
    int exitCode = 0;
    const auto window
        = tallic::workspace::startEditor(app.arguments().mid(1).join(QLatin1Char(' ')), exitCode);
    if (!window)
        return exitCode;
    window->show();
    return app.exec();
}
