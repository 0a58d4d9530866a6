#include "fieldlookup.h"

#include "arinput.h"
#include "suite/windows.h"

namespace tallic {

FieldLookup::FieldLookup(Arinput &window)
    : window_(window)
{
}

void FieldLookup::start(int field, const QString &program)
{
    releaseTopmost();
    lookup_.start(program);
    showAnswer(field);
}

void FieldLookup::showAnswer(int field)
{
    if (const QString answer = lookup_.answer(); !answer.isEmpty())
        window_.Text1(field).setText(answer);
}

bool FieldLookup::takeAnswer(int field, QString &text)
{
    const QString answer = lookup_.take();
    if (answer.isEmpty())
        return false;
    text = answer;
    window_.Text1(field).setText(answer);
    return true;
}

void FieldLookup::releaseTopmost()
{
    SetTopmost(&window_, 0);
    topmostReleased_ = true;
}

void FieldLookup::windowActivated()
{
    if (!topmostReleased_)
        return;
    topmostReleased_ = false;
    SetTopmost(&window_, -1);
}

} // namespace tallic
