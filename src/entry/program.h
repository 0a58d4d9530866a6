#pragma once

#include <QString>

namespace tallic {

// Starts a run of the program as the suite's menu starts it: the launch string (the
// command-line arguments joined by single blanks) and the entry window.
void beginRun(const QString &commandLine);

} // namespace tallic
