#pragma once

#include <QString>

namespace tallic::tools {

// Why the program cannot have the screen Qt would ask for (an X display that is not set or
// does not answer), where Qt itself would abort; empty when it can, or when Qt is to draw
// elsewhere (QT_QPA_PLATFORM offscreen, vnc, wayland).
QString displayProblem();

} // namespace tallic::tools
