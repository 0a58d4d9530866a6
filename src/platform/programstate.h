#pragma once

#include <functional>

namespace tallic {

// Whether the program is ending, and what it owes before the operator acts again: the
// state every part of the window runtime reads, kept below all of them.

// Ends the program from anywhere. Handlers that call it return at once; from then on
// no handler runs, boxes answer without showing and waiting loops stop.
void endProgram();
// Ends it so for a start refused: the program's exit status (exitStatus()) then says so.
void refuseStart();
int exitStatus();
bool programEnding();
// What ending puts away before it leaves (the busy pointer, the open windows): each part
// adds its step the first time it has something to put away; the steps run in that order.
void addEndingStep(std::function<void()> step);
// What ending the program does beyond closing its windows: the program leaves its event
// loop; the test harness only notes that the run has ended.
void setEndAction(std::function<void()> action);
// Clears the ending state; the window runtime's reset does so for a new run (tests).
void clearEnding();

// Work owed before the operator can act again: it runs once a command is over, before the
// keys typed meanwhile go on, and before a box shows. The database layer makes what a
// command stored safe on the disk there.
void setWorkBeforeOperator(std::function<void()> work);
void doWorkBeforeOperator();

} // namespace tallic
