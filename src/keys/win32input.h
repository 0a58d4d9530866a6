#pragma once

// The Windows calls behind WindowsKeys, free of Qt so that a Windows cross compiler can
// check them on any machine.

#include <cstdint>

namespace tallic::win32 {

// True on the Windows 95/98/Me family, asked afresh at every call.
bool isWin9xFamily();

// True when the key is toggled on or held down.
bool keyStateIsOn(int virtualKey);

// Injects one press or release in one SendInput call, translated with the keyboard layout
// of the thread that owns the foreground window: a modifier (modifierKey 16 Shift, 17 Ctrl,
// 18 Alt) alone; else the key of the key table (namedKey > 0), with no modifiers; else the
// key that types the character, after the Shift, Ctrl and Alt it needs. A character the
// layout has no key for is skipped.
void injectKey(int modifierKey, int namedKey, char16_t character, bool release);

// Flips Num Lock in the thread's keyboard-state table, injecting nothing (95/98/Me).
void flipNumLockState();

// The system tick count in milliseconds; wraps around after 49.7 days.
std::uint32_t tickCount();

} // namespace tallic::win32
