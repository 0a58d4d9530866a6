#pragma once

#include <QString>

namespace tallic {

// Types a key string into the window that has the keyboard focus, as if the operator
// typed it, through keyPlatform(). The notation: characters as typed; "+", "^", "%" hold
// Shift, Ctrl, Alt down for the next key, or for a group in parentheses; "~" is Enter;
// braces name a key ("{TAB}", "{F5}", "{ENTER 3}" with a repeat count) or quote
// characters ("{+}", "{{}"). The string is typed with Caps, Num and Scroll Lock off and
// each lock is put back as it was, unless `wait` (read as decimal digits) holds 2 (Caps),
// 3 (Num) or 4 (Scroll); a non-zero `wait` also ends with a 20 ms pause that lets events
// run. Returns once every key has been handed to the platform.
void SendKeyString(const QString &text, qint16 wait = 0);

// The string with every character outside ASCII in the Western code page rewritten as
// Alt held down while its code in the OEM code page is typed on the keypad, with Num Lock
// on for that moment: "é" becomes "{NUMLOCK}%({NUMPAD1}{NUMPAD3}{NUMPAD0}){NUMLOCK}".
QString EncodeExtendedChars(const QString &text);

// The virtual-key code of a key name of the notation (any letter case), 0 for any other
// name. "SHIFT", "CONTROL" and "ALT" are not key names: in braces they are typed as text.
qint16 KeyCodeFromName(const QString &name);

} // namespace tallic
