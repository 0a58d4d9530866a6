// Posting a chit: the last checks, the ardaily row and the previous-chit panel.
#include "entry/arinput.h"
#include "basic/chitdates.h"
#include "suite/sharedstate.h"
#include "platform/runtime.h"
#include "suite/database.h"
#include "basic/masks.h"
#include "suite/messages.h"
#include "basic/numbers.h"
#include "suite/today.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// The ardaily row by position; the table's own column order is the layout.
enum ChitColumn {
    GlAccount = 0,
    ChitNumber = 1,
    ChitDate = 2,
    Member = 3,
    Employee = 4,
    Covers = 5,
    BaseSale = 6,
    ServiceCharge = 7,
    Tax = 8,
    ChitTotal = 9,
    FirstReserved = 10,
    LastReserved = 13,
    ReservedText = 14,
    Origin = 15,
    Memo = 16,
    Source = 17,
};
constexpr int EntryScreenSource = 9;

// One capital letter and 1 to 6 digits, never above 500000 (K48213).
QString randomChitNumber()
{
    platform().seedRandom();
    DoEvents();
    int letter = 0;
    do {
        letter = int(90 * platform().random() + 1);
    } while (letter < 'A' || letter > 'Z');
    const int number = int(platform().random() * 500000 + 1);
    return (QChar(letter) + QString::number(number)).toUpper();
}

// What the operator is told about a failure the database layer numbered.
QString failureReason(qint32 number, const QString &description)
{
    QString reason;
    switch (number) {
    case 3024:
        reason = u"The daily database is missing."_s;
        break;
    case 3078:
        reason = u"The daily database has no ardaily table."_s;
        break;
    case 3260:
        reason = u"The daily database is locked by another workstation."_s;
        break;
    case 3008:
        reason = u"The daily database is read-only."_s;
        break;
    case 3013:
        reason = u"The disk is full."_s;
        break;
    default:
        reason = description.isEmpty() ? u"The database refused the row."_s : description;
        break;
    }
    return reason + u" (code "_s + QString::number(number) + u')';
}

} // namespace

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

    if (s.MemberTerminated == 1 && Val(Text1(10).text()) > 0) {
        MsgBox(
            u"This account is marked as terminated. Only credit value\ntransactions can be made to a terminated member account."_s,
            BoxButtons::Ok, BoxIcon::Information, u"Terminated Member"_s);
        refuse(ok);
        return;
    }

    // A chit number switched off is made up for every chit.
    if (!Text1(2).visible())
        Text1(2).setText(randomChitNumber());

    // A hidden or blank date posts the batch date.
    if (s.WorkDate < 1) {
        SetToday();
        s.WorkDate = s.TodayNumber;
    }
    Control date = Text1(3);
    if (Val(date.text()) < 1 || !date.visible())
        date.setText(QString::number(s.WorkDate));
    // The date posted is held to the open month like a keyed one: a refused date can reach
    // a hidden date field through the working date.
    const qint32 chitDate = toLong(Val(date.text()));
    const DateVerdict verdict
        = checkChitDate(chitDate, s.ArYear, s.ArMonth, s.AccessLevel, platform().today().year());
    if (verdict != DateVerdict::Accepted) {
        MsgBox(dateRefusalText(verdict), BoxButtons::Ok, BoxIcon::Information,
               u"Date entered: "_s + QString::number(chitDate));
        refuse(date.enabled() && date.visible() ? date : ok);
        return;
    }

    if (Val(Text1(7).text()) == 0) {
        MsgBox(u"Base sale total is missing."_s, BoxButtons::Ok, BoxIcon::Information,
               u"Oops..."_s);
        refuse(ok);
        return;
    }
    if (Val(Text1(5).text()) == 0)
        Text1(5).setText(u"0"_s);

    // A payment is always a credit, without service charge or tax.
    if (Text1(2).text().trimmed().toUpper() == u"PAYMENT"_s && Val(Text1(7).text()) > 0) {
        Text1(7).setText(shortestNumber(-std::abs(Val(Text1(7).text()))));
        Text1(8).setText(u"0"_s);
        Text1(9).setText(u"0"_s);
        Text1(10).setText(Text1(7).text());
        MsgBox(
            u"Payment - type transactions can only be credit values.\nThe amount has been changed for your convenience."_s,
            BoxButtons::Ok, BoxIcon::Information, u"Oops..."_s);
    }

    MouseBusy();
    StoreChitRow();
    MouseArrow();
    if (!chitNotStored_.isEmpty()) {
        DbAddNewOff();
        reportUnstoredChit();
        refuse(ok);
        return;
    }

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

void Arinput::StoreChitRow()
{
    SharedState &s = state();
    chitNotStored_.clear();

    // A key no chit has sizes the row buffer to the table, every value empty.
    QString db = u"daily"_s;
    DbRead(db, u"select * from ardaily where tallicnum = '@#$%^&*()'"_s);
    if (s.ErrNumber != 0) {
        chitNotStored_ = failureReason(s.ErrNumber, s.ErrDescription);
        return;
    }
    if (s.MsgText != u"QUIT"_s && !s.MsgText.isEmpty()) {
        // The layer has told the operator that the file is missing.
        chitNotStored_ = failureReason(3024, QString());
        return;
    }
    if (s.RowValues.size() <= Source) {
        chitNotStored_ = u"The ardaily table lacks the columns of a chit."_s;
        return;
    }

    QVariantList &row = s.RowValues;
    row[GlAccount] = Val(Text1(1).text());
    row[ChitNumber] = Text1(2).text();
    row[ChitDate] = Val(Text1(3).text());
    row[Member] = Val(Text1(4).text());
    row[Employee] = Val(Text1(5).text());
    row[Covers] = Val(Text1(6).text());
    row[BaseSale] = Val(Text1(7).text());
    row[ServiceCharge] = Val(Text1(8).text());
    row[Tax] = Val(Text1(9).text());
    // The total is the sum of the amounts, whatever the total field shows.
    row[ChitTotal] = Val(Text1(7).text()) + Val(Text1(8).text()) + Val(Text1(9).text());
    for (int i = FirstReserved; i <= LastReserved; ++i)
        row[i] = 0;
    row[ReservedText] = u" "_s;
    row[Origin] = s.StartStamp.left(15);
    // A memo switched off is not posted, whatever it still holds.
    Control memo = ctl(u"txtmemo"_s);
    const QString memoText = memo.visible() ? memo.text() : QString();
    if (!memoText.isEmpty())
        row[Memo] = memoText;
    row[Source] = EntryScreenSource;

    DbAddNewOn();
    DbWrite(db,
            u"select * from ardaily where tallicnum = '"_s + sqlQuote(Text1(2).text()) + u"'"_s);
    const DbWriteOutcome &written = LastDbWrite();
    if (!written.saved) {
        chitNotStored_ = failureReason(written.number, written.description);
        return;
    }
    if (!memoText.isEmpty())
        s.LastMemoText = memoText;

    for (int i = 1; i <= 10; ++i)
        txtprev(i).setText(Text1(i).text());
    DoEvents();
}

// The chit stays on the screen uncounted, so the operator can post it again once the
// database takes it: a chit never disappears unstored.
void Arinput::reportUnstoredChit()
{
    SharedState &s = state();
    const QString chit = Text1(2).text();
    MsgBox(u"Chit "_s + chit + u" was not stored:\n"_s + chitNotStored_
               + u"\n\nThe chit stays on the screen. Press OK to post it again."_s,
           BoxButtons::Ok, BoxIcon::Critical, u"Chit not stored"_s);
    s.MsgText = u"Chit "_s + chit + u" not stored: "_s + chitNotStored_;
    LogActivity();
    s.ErrNumber = 0;
    s.ErrDescription.clear();
}

} // namespace tallic
