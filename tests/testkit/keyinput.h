#pragma once

#include <QList>
#include <QString>
#include <Qt>

namespace tallic::testkit {

// One key as the harness types it.
struct KeyStroke
{
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    QString text;
};

// Reads the key notation the tests use: characters as typed, "{TAB}", "{ENTER}", "{F5}",
// "{BS}", "{ESC}", "~" for Enter, and "+", "^", "%" for Shift, Ctrl and Alt on the next key.
QList<KeyStroke> parseTestKeys(const QString &keys);

// Presses and releases the key in the widget that has the keyboard focus (or, where the
// window system gives it to nothing, the active control of the active window).
void deliverKey(const KeyStroke &stroke);

} // namespace tallic::testkit
