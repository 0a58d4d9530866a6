// Keying in the chit fields: entering and leaving a field, the keys it refuses, "+" and F5,
// Enter, and the values that come back from the lookup programs and the date picker.
#include "arinput.h"

#include "keys/sendkeys.h"
#include "platform/colors.h"
#include "platform/keycodes.h"
#include "platform/runtime.h"
#include "suite/windows.h"

#include <QEvent>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

const char *const Prompts[11] = {
    "",
    "Type the G/L Acct # and press ENTER. (F5=lookup, + = duplicate previous chit)",
    "Type the chit # and press ENTER. (+ = duplicate previous chit)",
    "Type the chit date and press ENTER. (+ = duplicate previous chit)",
    "Type the Member Acct # and press ENTER. (F5=lookup, + = duplicate previous chit)",
    "Type the Employee ID and press ENTER. (F5=lookup, + = duplicate previous chit)",
    "Type Covers to track and press ENTER. (+ = duplicate previous chit)",
    "Type the base sale and press ENTER. (+ = duplicate previous chit)",
    "Type the service charge and press ENTER. (+ = duplicate previous chit)",
    "Type applicable tax and press ENTER. (+ = duplicate previous chit)",
    "Type the Chit Total and press ENTER. (+ = duplicate previous chit)",
};

} // namespace

void Arinput::Text1_LostFocus(int Index)
{
    Text1(Index).setBackColor(Colors::White);
    if (Index == Field::BaseSale)
        amounts_.leave();
    else
        fields_.leave(Index);
    // A lookup's answer that comes after its field was left fills nothing.
    lookups_.forget();
}

void Arinput::Text1_GotFocus(int Index)
{
    lookups_.forget();
    if (Index == Field::GlAccount && GlLocked)
        return;
    promptField_ = Index;
    Control field = Text1(Index);
    field.setBackColor(Colors::Yellow);
    field.setText(QString());
    control(u"helpwindow"_s).setText(QString::fromLatin1(Prompts[Index]));
    // The date field opens with the working date, ready to be accepted with Enter.
    if (Index == Field::GlAccount || Index == Field::ChitDate) {
        refilling_ = true;
        Text1(Field::ChitDate).setText(QString::number(batch_.WorkDate));
        refilling_ = false;
    }
    if (Index == Field::GlAccount)
        control(u"Text2"_s).setText(QString());
    fields_.entered(Index);
    if (Index == Field::BaseSale)
        amounts_.entered();
    field.refresh();
    control(u"helpwindow"_s).refresh();
    DoEvents();
}

void Arinput::Text1_KeyPress(int Index, int &KeyAscii)
{
    if (KeyAscii == '"' || KeyAscii == '\'') {
        KeyAscii = 0;
        return;
    }
    if (Index == Field::GlAccount && GlLocked) {
        KeyAscii = 0;
        return;
    }
    if (KeyAscii == '*') {
        KeyAscii = 0;
        return;
    }
    // "1,000" would read as 1: amounts are keyed without thousands separators.
    if (KeyAscii == ',' && Index >= Field::BaseSale) {
        KeyAscii = 0;
        return;
    }
    if (Index != Field::BaseSale || (KeyAscii != '+' && KeyAscii != VirtualKey::Enter)) {
        if (KeyAscii == '+') {
            KeyAscii = 0;
            Text1(Index).setText(txtprev(Index).text());
            SendKeyString(u"{TAB}"_s);
        } else if (KeyAscii == VirtualKey::Enter) {
            KeyAscii = 0;
            SendKeyString(u"{TAB}"_s);
        }
    } else {
        if (KeyAscii == '+')
            Text1(Field::BaseSale).setText(txtprev(Field::BaseSale).text());
        KeyAscii = 0;
        amounts_.computeAndMoveOn();
    }
    DoEvents();
}

void Arinput::Text1_KeyDown(int Index, int &KeyCode, int)
{
    if (Index == Field::GlAccount && GlLocked) {
        KeyCode = 0;
        return;
    }
    if (KeyCode == VirtualKey::F5) {
        const char *lookup = Index == Field::GlAccount ? "ombrel.exe AR"
            : Index == Field::Member                   ? "tassip.exe"
            : Index == Field::Employee                 ? "wennic.exe"
                                                       : nullptr;
        if (lookup)
            lookups_.start(Index, QString::fromLatin1(lookup));
    }
    DoEvents();
}

void Arinput::Text1_Click(int Index)
{
    if (Index != Field::ChitDate)
        return;
    const QString before = Text1(Field::ChitDate).text();
    Text1(Field::ChitDate).setText(QString());
    DoEvents();
    lookups_.releaseTopmost();
    const std::optional<QString> picked = PickDate();
    if (programEnding())
        return;
    // No answer from the picker leaves the date the field had.
    Text1(Field::ChitDate).setText(picked.value_or(before));
    DoEvents();
    SendKeyString(u"{TAB}"_s);
}

void Arinput::Text1_MouseDown(int Index, int, int, double, double)
{
    if ((Index == Field::GlAccount && !GlLocked) || Index == Field::Member
        || Index == Field::Employee)
        lookups_.showAnswer(Index);
}

void Arinput::Text1_MouseMove(int Index, int, int, double, double)
{
    if (Index == Field::GlAccount && GlLocked)
        Text1(Field::GlAccount).setToolTip(u"Click REDO to reactivate the G/L Acct # box."_s);
    else
        Text1(Field::GlAccount).setToolTip(QString());
}

void Arinput::Text1_Change(int Index)
{
    LastChangedField = Index;
    if (Index == Field::ChitDate && !refilling_)
        fields_.dateChanged();
}

void Arinput::changeEvent(QEvent *event)
{
    // Back from a lookup or the date picker: the window is kept on top again.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        lookups_.windowActivated();
    Form::changeEvent(event);
}

} // namespace tallic
