// Leaving a chit field: each field is checked, completed or reformatted, and a refused
// field takes the focus back.
#include "arinput.h"

#include "basic/chitdates.h"
#include "basic/masks.h"
#include "basic/numbers.h"
#include "platform/colors.h"
#include "platform/runtime.h"
#include "suite/chitnumbers.h"
#include "suite/database.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "suite/today.h"
#include "suite/validators.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

void Arinput::Text1_LostFocus(int Index)
{
    Text1(Index).setBackColor(Colors::White);
    switch (Index) {
    case Field::GlAccount:
        leaveGlAccount();
        break;
    case Field::ChitNumber:
        leaveChitNumber();
        break;
    case Field::ChitDate:
        leaveChitDate();
        break;
    case Field::Member:
        leaveMember();
        break;
    case Field::Employee:
        leaveEmployee();
        break;
    case Field::Covers:
        leaveCovers();
        break;
    case Field::BaseSale:
        // Enter or "+" computed the amounts already; leaving by Tab or the mouse computes
        // them here, once, and leaves the focus where the operator sent it.
        if (amountsDone_)
            amountsDone_ = false;
        else if (computeCharges(false))
            completeChit();
        break;
    default:
        leaveKeyedAmount(Index);
        break;
    }
}

void Arinput::leaveGlAccount()
{
    SharedState &s = state();
    Control field = Text1(Field::GlAccount);
    s.MsgText = field.text().trimmed();
    // A locked field keeps its account whatever the clipboard holds.
    if (GlLocked != 1)
        takeLookupAnswer(Field::GlAccount, s.MsgText);
    const bool empty = s.MsgText.isEmpty();
    if (Val(s.MsgText) != 0 && s.SkipGlCheck == 0) {
        const double account = Val(s.MsgText);
        ValidateGLAccount();
        if (s.MsgText == u"REDO"_s) {
            if (!field.enabled())
                cmdnormal_Click();
            field.setFocus();
            return;
        }
        if (s.GLLevel != 1) {
            MsgBox(u"You may not post to non-level 1 accounts"_s, BoxButtons::Ok, BoxIcon::None,
                   u"Problem..."_s);
            field.setFocus();
            return;
        }
        if (account == s.ArAccount || account == s.ProfitAccount) {
            MsgBox(
                u"You may not key a chit to either the A/R account or the G/L current profit account. Please redo..."_s,
                BoxButtons::Ok, BoxIcon::None, u"Account not allowed..."_s);
            field.setFocus();
            return;
        }
    }
    DoEvents();
    ctl(u"Text2"_s).setText(s.GLAcctText);
    // An empty field stays open for the account, its lookup and a paste.
    if (empty)
        return;
    GlLocked = 1;
    // Read-only, the field takes no pasted or dropped text either.
    field.setLocked(true);
}

void Arinput::leaveChitNumber()
{
    Control field = Text1(Field::ChitNumber);
    if (field.text().isEmpty())
        field.setText(drawChitNumber());
    field.setText(field.text().toUpper());
    if (field.text().contains(u"BALFWD"_s)) {
        MsgBox(
            u"BALFWD is a reserved system word that you may not use\nas a description for a chit #. Try again."_s,
            BoxButtons::Ok, BoxIcon::Critical, u"Oops!"_s);
        field.setFocus();
    }
}

void Arinput::leaveChitDate()
{
    SharedState &s = state();
    Control field = Text1(Field::ChitDate);
    field.setText(completeChitDate(field.text(), s.ArYear));
    // A text that is not a whole date number counts as a blank date.
    bool whole = false;
    const qint32 typed = field.text().toInt(&whole);
    if (!whole || typed < 1) {
        MsgBox(u"A blank date entry is automatically reset to today's date"_s, BoxButtons::Ok,
               BoxIcon::Information, u"FYI..."_s);
        SetToday();
        field.setText(QString::number(s.TodayNumber));
        dateTouched_ = true;
    }
    s.WorkDate = field.text().toInt();
    if (LastChangedField == 3 && dateTouched_) {
        s.WorkDateText = QString::number(s.WorkDate);
        CheckDateInUse();
        if (s.MsgText != u"OK"_s) {
            MsgBox(
                s.MsgText
                    + u"\n\nYou should notify this user that you are\nadding transactions to the date he/she is\nalso currently using."_s,
                BoxButtons::Ok, BoxIcon::Information, u"Shared Date"_s);
        }
    }
    dateTouched_ = false;
    const DateVerdict verdict = checkWorkDate();
    if (verdict == DateVerdict::Accepted)
        return;
    MsgBox(dateRefusalText(verdict), BoxButtons::Ok, BoxIcon::Information,
           u"Date entered: "_s + QString::number(s.WorkDate));
    field.setFocus();
}

DateVerdict Arinput::checkWorkDate()
{
    SharedState &s = state();
    const DateVerdict verdict
        = checkChitDate(s.WorkDate, s.ArYear, s.ArMonth, s.AccessLevel, platform().today().year());
    s.PeriodLimit
        = QString::number(verdict == DateVerdict::PreviousPeriod ? periodStart(s.ArYear, s.ArMonth)
                                                                 : periodEnd(s.ArYear, s.ArMonth));
    return verdict;
}

void Arinput::leaveMember()
{
    SharedState &s = state();
    Control field = Text1(Field::Member);
    s.MsgText = field.text().trimmed();
    const bool answered = takeLookupAnswer(Field::Member, s.MsgText);
    // The validator and the balance pass their texts through the clipboard; what another
    // program left there is put back afterwards.
    const QString kept = answered ? QString() : platform().clipboardText();
    const auto putBack = [&kept] {
        if (platform().clipboardText() == kept)
            return;
        if (kept.isEmpty())
            platform().clearClipboard();
        else
            platform().setClipboardText(kept);
    };
    if (Val(s.MsgText) != 0 && s.SkipMemberCheck == 0) {
        ValidateMember();
        if (s.MsgText == u"REDO"_s) {
            putBack();
            field.setFocus();
            return;
        }
        s.TaxExempt = s.MsgText.contains(u"TaxExempt"_s) ? 1 : 0;
    }
    if (s.TransMode == 1) {
        ShowBalance();
        // The payment goes on without the balance; the operator is told why it is missing.
        if (s.ErrNumber != 0) {
            ReportError();
            clearError();
        }
    }
    Control description = ctl(u"Text3"_s);
    const QString passed = platform().clipboardText();
    description.setText(s.MsgText + u" -- "_s + (passed != kept ? passed : QString()));
    const QString member = s.MsgText;
    const std::pair<const char *, const char *> warnings[]
        = { { "SUSPENDED", "Suspended Member Account" },
            { "TERMINATED", "Terminated Member Account" } };
    for (const auto &[word, title] : warnings) {
        if (!member.contains(QString::fromLatin1(word)))
            continue;
        description.setBackColor(Colors::Red);
        description.setForeColor(Colors::Yellow);
        MsgBox(u"Please verify this entry."_s, BoxButtons::Ok, BoxIcon::Critical,
               QString::fromLatin1(title));
        description.setForeColor(ctl(u"Frame1"_s).foreColor());
        description.setBackColor(Colors::ButtonFace);
    }
    putBack();
    s.SalesTaxRate = s.TaxExempt == 1 ? 0 : s.CompanyTaxRate;
    DoEvents();
}

void Arinput::leaveEmployee()
{
    SharedState &s = state();
    Control field = Text1(Field::Employee);
    field.setText(field.text().toUpper());
    s.MsgText = field.text().trimmed();
    if (s.MsgText.isEmpty()) {
        s.MsgText = u"0"_s;
        field.setText(u"0"_s);
    }
    if (s.EmpValidate == 3)
        s.MsgText = u"Employee validation is off"_s;
    takeLookupAnswer(Field::Employee, s.MsgText);
    if (Val(s.MsgText) != 0 && s.EmpValidate != 3 && s.SkipEmpCheck == 0) {
        ValidateEmployee();
        if (s.MsgText == u"REDO"_s) {
            if (!field.enabled())
                cmdnormal_Click();
            field.setFocus();
            return;
        }
    }
    ctl(u"Text4"_s).setText(s.MsgText);
    DoEvents();
}

void Arinput::leaveCovers()
{
    SharedState &s = state();
    const double covers = std::abs(Val(Text1(Field::Covers).text()));
    if (covers > 1000) {
        s.MsgText = u"Please verify covers entry"_s;
        s.MsgTitle = u"Out of normal range"_s;
        AskYesNo();
        if (s.MsgAnswer == AnswerYes) {
            Text1(Field::Covers).setFocus();
            return;
        }
    }
    if (covers > 32767) {
        MsgBox(u"Entry too large - Redo."_s, BoxButtons::Ok, BoxIcon::Critical,
               u"Out of acceptable range"_s);
        Text1(Field::Covers).setFocus();
    }
}

void Arinput::leaveKeyedAmount(int index)
{
    // A text that is not a number is left for the operator to see.
    Control field = Text1(index);
    const QString text = field.text().trimmed();
    bool number = false;
    const double value = text.toDouble(&number);
    if (number)
        field.setText(formatMask(value, u"#######.#0"_s));
}

void Arinput::ShowBalance()
{
    const double member = Val(Text1(Field::Member).text());
    SuiteDb db(u"master2.mdb"_s);
    QSqlQuery query
        = db.query(u"select balfwd from ar where acctnumber between "_s
                   + shortestNumber(member - 0.001) + u" and "_s + shortestNumber(member + 0.001));
    // A failure is the caller's to report.
    if (db.failed()) {
        db.passOnError();
        return;
    }
    const bool found = query.next();
    if (!found && query.lastError().isValid()) {
        passOnDbError(query.lastError());
        return;
    }
    if (found) {
        platform().clearClipboard();
        DoEvents();
        platform().setClipboardText(u"Balance: "_s
                                    + formatMask(query.value(0).toDouble(), u"###,###.#0"_s));
    }
    db.close();
    DoEvents();
}

} // namespace tallic
