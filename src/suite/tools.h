#pragma once

#include "platform/platform.h"

#include <QString>

namespace tallic {

// Starts a program of the suite from the data folder without waiting for it.
bool StartProgram(const QString &commandLine, WindowStyle style);

// Runs the calendar program and leaves the date the operator chose in MsgText; empty
// when the operator gave none within the time the program waits.
void PickDate();

} // namespace tallic
