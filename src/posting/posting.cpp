// Posting a chit: the last checks, the ardaily row and the previous-chit panel.
#include "entry/arinput.h"

#include "basic/chitdates.h"
#include "basic/masks.h"
#include "basic/numbers.h"
#include "basic/postingrules.h"
#include "chitrow.h"
#include "platform/runtime.h"
#include "suite/chitnumbers.h"
#include "suite/database.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/today.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

void Arinput::cmdokay_Click()
{
    PostChit();
}

void Arinput::PostChit()
{
    SharedState &s = state();
    Control ok = ctl(u"cmdokay"_s);
    // The chit stays on the screen for correction and OK is offered again.
    auto refuse = [&ok](Control focus) {
        ok.setEnabled(true);
        focus.setFocus();
    };
    ok.setEnabled(false);
    // The chit is taken from the screen once; the corrections below go to both.
    Chit chit = readChit();
    auto correct = [this, &chit](int field, const QString &text) {
        chit[field] = text;
        Text1(field).setText(text);
    };

    if (terminatedDebitRefused(s.MemberTerminated == 1, Val(chit[Field::Total]))) {
        MsgBox(
            u"This account is marked as terminated. Only credit value\ntransactions can be made to a terminated member account."_s,
            BoxButtons::Ok, BoxIcon::Information, u"Terminated Member"_s);
        refuse(ok);
        return;
    }

    // A chit number switched off is made up for every chit.
    if (!Text1(Field::ChitNumber).visible()) {
        correct(Field::ChitNumber, drawChitNumber());
        DoEvents();
    }

    // A hidden or blank date posts the batch date.
    if (s.WorkDate < 1) {
        SetToday();
        s.WorkDate = s.TodayNumber;
    }
    Control date = Text1(Field::ChitDate);
    if (Val(chit[Field::ChitDate]) < 1 || !date.visible())
        correct(Field::ChitDate, QString::number(s.WorkDate));
    // The date posted is held to the open month like a keyed one: a refused date can reach
    // a hidden date field through the working date.
    const qint32 chitDate = toLong(Val(chit[Field::ChitDate]));
    const DateVerdict verdict
        = checkChitDate(chitDate, s.ArYear, s.ArMonth, s.AccessLevel, platform().today().year());
    if (verdict != DateVerdict::Accepted) {
        MsgBox(dateRefusalText(verdict), BoxButtons::Ok, BoxIcon::Information,
               u"Date entered: "_s + QString::number(chitDate));
        refuse(date.enabled() && date.visible() ? date : ok);
        return;
    }

    if (Val(chit[Field::BaseSale]) == 0) {
        MsgBox(u"Base sale total is missing."_s, BoxButtons::Ok, BoxIcon::Information,
               u"Oops..."_s);
        refuse(ok);
        return;
    }
    if (Val(chit[Field::Employee]) == 0)
        correct(Field::Employee, u"0"_s);

    // A payment is always a credit, without service charge or tax.
    if (paymentMadeCredit(chit[Field::ChitNumber], Val(chit[Field::BaseSale]))) {
        const QString credit = shortestNumber(-std::abs(Val(chit[Field::BaseSale])));
        correct(Field::BaseSale, credit);
        correct(Field::ServiceCharge, u"0"_s);
        correct(Field::Tax, u"0"_s);
        correct(Field::Total, credit);
        MsgBox(
            u"Payment - type transactions can only be credit values.\nThe amount has been changed for your convenience."_s,
            BoxButtons::Ok, BoxIcon::Information, u"Oops..."_s);
    }

    MouseBusy();
    const QString notStored = StoreChitRow(chit);
    MouseArrow();
    if (!notStored.isEmpty()) {
        DbAddNewOff();
        reportUnstoredChit(chit[Field::ChitNumber], notStored);
        refuse(ok);
        return;
    }
    for (int i = Field::First; i <= Field::Last; ++i)
        txtprev(i).setText(chit[i]);
    DoEvents();

    // Only a stored chit counts in the batch.
    Control count = ctl(u"Text5"_s);
    count.setText(shortestNumber(Val(count.text()) + 1));
    UpdateValidityTotals();
    RedoChit();
    DbAddNewOff();
    DoEvents();
    // A tax exemption lasts for its own chit only.
    s.SalesTaxRate = s.CompanyTaxRate;
}

Chit Arinput::readChit() const
{
    Chit chit;
    for (int i = Field::First; i <= Field::Last; ++i)
        chit[i] = Text1(i).text();
    // A memo switched off is not posted, whatever it still holds.
    Control memo = ctl(u"txtmemo"_s);
    if (memo.visible())
        chit.memo = memo.text();
    return chit;
}

// The chit stays on the screen uncounted, so the operator can post it again once the
// database takes it: a chit never disappears unstored.
void Arinput::reportUnstoredChit(const QString &chit, const QString &reason)
{
    SharedState &s = state();
    MsgBox(u"Chit "_s + chit + u" was not stored:\n"_s + reason
               + u"\n\nThe chit stays on the screen. Press OK to post it again."_s,
           BoxButtons::Ok, BoxIcon::Critical, u"Chit not stored"_s);
    s.MsgText = u"Chit "_s + chit + u" not stored: "_s + reason;
    LogActivity();
    clearError();
}

} // namespace tallic
