#include "fieldlookup.h"

#include "entrycontrols.h"
#include "suite/windows.h"

namespace tallic {

FieldLookup::FieldLookup(Form &window)
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
        Text1(window_, field).setText(answer);
}

bool FieldLookup::takeAnswer(int field, QString &text)
{
    const QString answer = lookup_.take();
    if (answer.isEmpty())
        return false;
    text = answer;
    Text1(window_, field).setText(answer);
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
