// Switching fields on and off by their captions, and the chit memo.
#include "arinput.h"
#include "entryscreen.h"

#include "basic/numbers.h"
#include "keys/sendkeys.h"
#include "platform/colors.h"
#include "platform/keycodes.h"
#include "platform/runtime.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// The caption a switchable field shows while it is keyed; empty for the fields that
// cannot be switched.
QString onCaption(int index)
{
    switch (index) {
    case Field::GlAccount:
        return u"G/L Acct #"_s;
    case Field::ChitNumber:
        return u"Chit #"_s;
    case Field::ChitDate:
        return u"Chit Date"_s;
    case Field::Employee:
        return u"Employee # ON"_s;
    case Field::Covers:
        return u"Covers ON"_s;
    default:
        return QString();
    }
}

} // namespace

void Arinput::Label1_Click(int Index)
{
    const QString keyedCaption = onCaption(Index);
    if (keyedCaption.isEmpty()) {
        DoEvents();
        return;
    }
    Control label = Label1(Index);
    Control field = Text1(Index);
    // The label's background is the field's state: button face means switched off.
    if (label.backColor() == Colors::ButtonFace) {
        switchFieldOn(*this, Index);
        label.setCaption(keyedCaption);
        DoEvents();
        return;
    }

    label.setBackColor(Colors::ButtonFace);
    label.setForeColor(Colors::Red);
    field.setEnabled(false);
    field.setVisible(false);
    switch (Index) {
    case Field::GlAccount: {
        // A fixed account is kept in the caption, where the next chit takes it from.
        const double account = Val(field.text());
        if (account > 0)
            label.setCaption(field.text());
        if (account < 1) {
            // Nothing to fix: the account stays keyed.
            control(u"Text2"_s).setText(QString());
            switchFieldOn(*this, Index);
        }
        break;
    }
    case Field::ChitNumber:
        label.setCaption(u"Random chit#"_s);
        break;
    case Field::ChitDate:
        label.setCaption(QString::number(batch_.WorkDate));
        break;
    case Field::Employee:
        label.setCaption(u"Employee # OFF"_s);
        break;
    case Field::Covers:
        label.setCaption(u"Covers OFF"_s);
        break;
    default:
        break;
    }
    DoEvents();
}

void Arinput::Label2_Click()
{
    Control label = control(u"Label2"_s);
    Control memo = control(u"txtmemo"_s);
    label.setBackColor(control(u"lblconsolidate"_s).backColor());
    if (!memo.visible()) {
        label.setCaption(u"Optional: type memo in the space below (max 40 char)"_s);
        memo.setEnabled(true);
        memo.setVisible(true);
        label.setForeColor(Colors::Red);
        memo.setFocus();
    } else {
        // The memo keeps its text; it is simply not offered any more.
        label.setCaption(u"Memo OFF - click HERE to activate"_s);
        memo.setEnabled(false);
        memo.setVisible(false);
        label.setForeColor(control(u"Frame1"_s).foreColor());
    }
}

void Arinput::txtmemo_GotFocus()
{
    control(u"txtmemo"_s).setBackColor(Colors::Yellow);
    Control help = control(u"helpwindow"_s);
    help.setText(u"Optional memo for this chit - limited to 40 characters"_s);
    help.refresh();
}

void Arinput::txtmemo_LostFocus()
{
    control(u"txtmemo"_s).setBackColor(Colors::White);
}

void Arinput::txtmemo_KeyDown(int &KeyCode, int)
{
    if (KeyCode < VirtualKey::F1 || KeyCode > VirtualKey::F12 || KeyCode == VirtualKey::F5)
        return;
    // The function key's text replaces the whole memo.
    Control memo = control(u"txtmemo"_s);
    memo.setText(
        ExpandMacro(QString::number(KeyCode), settings_.FunctionKeyText).left(memo.maxLength()));
}

void Arinput::txtmemo_KeyPress(int &KeyAscii)
{
    // Quotes are kept out of everything stored with a chit.
    if (KeyAscii == '"' || KeyAscii == '\'') {
        KeyAscii = 0;
        return;
    }
    // "+" recalls the last memo as the first key of an empty memo only; within a memo it is
    // written as typed ("Dinner + drinks").
    Control memo = control(u"txtmemo"_s);
    if (KeyAscii == '+' && memo.text().isEmpty()) {
        KeyAscii = 0;
        memo.setText(keyed_.LastMemoText.left(memo.maxLength()));
        SendKeyString(u"{TAB}"_s);
    } else if (KeyAscii == VirtualKey::Enter) {
        KeyAscii = 0;
        SendKeyString(u"{TAB}"_s);
    }
    DoEvents();
}

} // namespace tallic
