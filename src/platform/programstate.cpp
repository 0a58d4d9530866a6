#include "programstate.h"

#include <QList>

#include <utility>

namespace tallic {

namespace {

struct ProgramState
{
    bool ending = false;
    bool startRefused = false; // the program ended before it could start
    QList<std::function<void()>> endingSteps;
    std::function<void()> endAction;
    std::function<void()> workBeforeOperator;
};

ProgramState &state()
{
    static ProgramState program;
    return program;
}

} // namespace

void endProgram()
{
    ProgramState &program = state();
    if (program.ending)
        return;
    program.ending = true;
    for (const std::function<void()> &step : program.endingSteps)
        step();
    if (program.endAction)
        program.endAction();
}

void refuseStart()
{
    state().startRefused = true;
    endProgram();
}

int exitStatus()
{
    return state().startRefused ? 1 : 0;
}

bool programEnding()
{
    return state().ending;
}

void addEndingStep(std::function<void()> step)
{
    state().endingSteps.append(std::move(step));
}

void setEndAction(std::function<void()> action)
{
    state().endAction = std::move(action);
}

void clearEnding()
{
    state().ending = false;
    state().startRefused = false;
}

void setWorkBeforeOperator(std::function<void()> work)
{
    state().workBeforeOperator = std::move(work);
}

void doWorkBeforeOperator()
{
    // The work may show a box of its own, which would ask for it again.
    static bool doing = false;
    if (!state().workBeforeOperator || std::exchange(doing, true))
        return;
    state().workBeforeOperator();
    doing = false;
}

} // namespace tallic
