#include "program.h"

#include "arinput.h"
#include "suite/sharedstate.h"

namespace tallic {

void beginRun(const QString &commandLine)
{
    session().CommandLine = commandLine;
    auto *window = new Arinput();
    window->open();
}

} // namespace tallic
