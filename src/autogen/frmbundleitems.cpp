// The bundle: an item's account and price, checked as they are keyed, and the bundle's
// commands.
#include "frmbundle.h"

#include "basic/masks.h"
#include "basic/numbers.h"
#include "listfiles.h"
#include "platform/keycodes.h"
#include "platform/runtime.h"
#include "suite/arsettings.h"
#include "suite/tools.h"
#include "suite/validators.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

constexpr double HighestAccount = 99999.999;

} // namespace

void Frmbundle::txtglnum_GotFocus()
{
    ctl(u"txtglnum"_s).setBackColor(Colors::Yellow);
    ctl(u"helpwindow"_s).setText(u"Type the G/L number in the yellow box"_s);
}

void Frmbundle::txtglnum_KeyDown(int &KeyCode, int)
{
    if (KeyCode == VirtualKey::F5)
        startLookup(u"ombrel.exe"_s, u"txtglnum"_s);
}

void Frmbundle::txtglnum_KeyPress(int &KeyAscii)
{
    if (KeyAscii != VirtualKey::Enter)
        return;
    KeyAscii = 0;
    ctl(u"txtprice"_s).setFocus();
}

void Frmbundle::txtglnum_LostFocus()
{
    takeLookupAnswer(u"txtglnum"_s);
    const ArSettings &s = settings();
    Control field = ctl(u"txtglnum"_s);
    const double account = Val(field.text());
    // Nothing that could be an account: the box is simply cleared, and the operator goes
    // where he was going.
    if (account > HighestAccount || account < 1) {
        field.setText(QString());
        return;
    }
    const QString accountText = formatMask(account, u"#####.##0"_s);
    field.setText(accountText);
    const Result<GlAccount> checked = ValidateGLAccount(accountText);
    // A refused account leaves the last account's level and text in force.
    if (checked)
        account_ = *checked;
    bool refused = !checked;
    // Both refusals are told: an account can be the wrong level and a forbidden one.
    if (account_.level != 1) {
        MsgBox(u"Not a level 1 posting account. Try again."_s, BoxButtons::Ok, BoxIcon::Information,
               u"Oops..."_s);
        refused = true;
    }
    if (account == s.ArAccount || account == s.ProfitAccount) {
        MsgBox(u"You may not key a chit to either the A/R account or "_s
               u"the G/L current profit account. Please redo..."_s,
               BoxButtons::Ok, BoxIcon::None, u"Account not allowed..."_s);
        refused = true;
    }
    if (!refused) {
        ctl(u"helpwindow"_s).setText(u"Acct #: "_s + accountText + u' ' + account_.text);
        return;
    }
    field.setText(QString());
    field.setFocus();
}

void Frmbundle::txtprice_GotFocus()
{
    ctl(u"txtprice"_s).setBackColor(Colors::Green);
    ctl(u"helpwindow"_s).setText(u"Type the item price in the green box"_s);
}

void Frmbundle::txtprice_KeyPress(int &KeyAscii)
{
    if (KeyAscii != VirtualKey::Enter)
        return;
    KeyAscii = 0;
    ctl(u"cmdadd"_s).setFocus();
}

void Frmbundle::txtprice_LostFocus()
{
    // Any price is taken, a credit included; what is not a number becomes .00.
    Control field = ctl(u"txtprice"_s);
    field.setText(formatMask(Val(field.text()), u"#####.#0"_s));
}

void Frmbundle::cmdadd_Click()
{
    Control account = ctl(u"txtglnum"_s);
    Control price = ctl(u"txtprice"_s);
    const double number = Val(account.text());
    const double amount = Val(price.text());
    if (number < 1 || number > HighestAccount || amount == 0)
        return;
    const QString entry = bundleItemEntry(number, amount, account_.text);
    if (!charactersNotKept(entry).isEmpty()) {
        tellNotKept({ entry });
        account.setFocus();
        return;
    }
    ctl(u"List1"_s).addItem(entry);
    bundle_.markChanged(true);
    account.setText(QString());
    price.setText(QString());
    account.setFocus();
}

void Frmbundle::cmddelete_Click()
{
    bundle_.deleteSelected();
}

void Frmbundle::cmdnew_Click()
{
    // The file keeps the old bundle until the operator saves.
    ctl(u"List1"_s).clear();
    ctl(u"txtglnum"_s).setFocus();
    bundle_.markChanged(true);
    DoEvents();
}

void Frmbundle::cmdsavelist_Click()
{
    bundle_.save(u"Bundle saved."_s);
}

void Frmbundle::cmddeletelist_Click()
{
    bundle_.remove(u"Bundle deleted"_s);
}

void Frmbundle::List1_Click()
{
    Control list = ctl(u"List1"_s);
    const int row = list.listIndex();
    if (row >= 0)
        ctl(u"helpwindow"_s).setText(list.items().value(row));
}

} // namespace tallic
