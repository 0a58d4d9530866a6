#pragma once

#include <Qt>

namespace tallic {

// Key codes as the windows of the suite know them (the window system's virtual-key
// codes: Enter 13, F1 to F12 112 to 123, letters and digits their upper-case ASCII).
int virtualKeyFromQt(int qtKey);
int qtKeyFromVirtualKey(int virtualKey);

// The shift state of a key or mouse event: 1 Shift, 2 Ctrl, 4 Alt, added together.
int shiftState(Qt::KeyboardModifiers modifiers);

} // namespace tallic
