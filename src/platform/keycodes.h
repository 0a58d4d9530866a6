#pragma once

#include <Qt>

namespace tallic {

// Key codes as the windows of the suite know them (the window system's virtual-key
// codes: Enter 13, F1 to F12 112 to 123, letters and digits their upper-case ASCII).
int virtualKeyFromQt(int qtKey);

// The codes the handlers look for.
namespace VirtualKey {
constexpr int Enter = 13;
constexpr int F1 = 112;
constexpr int F5 = 116;
constexpr int F12 = 123;
} // namespace VirtualKey

int qtKeyFromVirtualKey(int virtualKey);

// The shift state of a key or mouse event: 1 Shift, 2 Ctrl, 4 Alt, added together.
int shiftState(Qt::KeyboardModifiers modifiers);

} // namespace tallic
