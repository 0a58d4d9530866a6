#pragma once

#include "platform/runtime.h"

#include <QString>

class QWidget;

namespace tallic {

class Form;

// Centres a window on its screen, then lets pending events run. Every window's load
// handler calls it before the window is shown.
void CenterForm(QWidget *window);

// Marks a window whose data folder holds practice data (the file practice.dat): red, or
// the colour named by the file's first line. Without the file the window keeps its colours.
void ApplyPracticeColour(Form *form);

// The background colour a first line of practice.dat selects: a colour word or a literal
// &H...& in any case, blanks around it ignored; red for anything else.
quint32 practiceColour(const QString &firstLine);

// Keeps a window above all others when on is non-zero (-1), releases it otherwise; never
// moves or resizes it. Non-zero when the window now is as asked.
qint32 SetTopmost(QWidget *window, qint16 on);
// The same for a plain literal flag (SetTopmost(this, -1)), which would otherwise be
// ambiguous between the flag above and the runtime's bool.
inline qint32 SetTopmost(QWidget *window, int on)
{
    return SetTopmost(window, qint16(on != 0 ? -1 : 0));
}

// MouseBusy() and MouseArrow() come from platform/runtime.h.

} // namespace tallic
