#include "fieldchecks.h"

#include "basic/cents.h"
#include "basic/chitdates.h"
#include "basic/masks.h"
#include "basic/numbers.h"
#include "entrycontrols.h"
#include "fieldlookup.h"
#include "platform/colors.h"
#include "platform/runtime.h"
#include "posting/batch.h"
#include "posting/modes.h"
#include "store/database.h"
#include "suite/arsettings.h"
#include "suite/chitnumbers.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "suite/today.h"
#include "suite/validators.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

FieldChecks::FieldChecks(Form &window, const ArSettings &settings, Batch &batch, KeyedChit &keyed,
                         FieldLookup &lookup, bool &glLocked, const int &lastChangedField,
                         std::function<void()> backToNormal)
    : window_(window)
    , settings_(settings)
    , batch_(batch)
    , keyed_(keyed)
    , lookup_(lookup)
    , glLocked_(glLocked)
    , lastChangedField_(lastChangedField)
    , backToNormal_(std::move(backToNormal))
{
}

void FieldChecks::leave(int field)
{
    switch (field) {
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
    default:
        leaveKeyedAmount(field);
        break;
    }
}

void FieldChecks::entered(int field)
{
    if (field == Field::ChitDate)
        dateTouched_ = false;
}

void FieldChecks::leaveGlAccount()
{
    Control field = Text1(window_, Field::GlAccount);
    QString typed = field.text().trimmed();
    // A locked field keeps its account whatever the clipboard holds.
    if (!glLocked_)
        lookup_.takeAnswer(Field::GlAccount, typed);
    // Only an account found has a description: none beside an empty field.
    QString description;
    if (Val(typed) != 0 && !settings_.SkipGlCheck) {
        const double number = Val(typed);
        const Result<GlAccount> account = ValidateGLAccount(typed);
        if (!account) {
            if (!field.enabled())
                backToNormal_();
            field.setFocus();
            return;
        }
        description = account->text;
        if (account->level != 1) {
            MsgBox(u"You may not post to non-level 1 accounts"_s, BoxButtons::Ok, BoxIcon::None,
                   u"Problem..."_s);
            field.setFocus();
            return;
        }
        if (number == settings_.ArAccount || number == settings_.ProfitAccount) {
            MsgBox(
                u"You may not key a chit to either the A/R account or the G/L current profit account. Please redo..."_s,
                BoxButtons::Ok, BoxIcon::None, u"Account not allowed..."_s);
            field.setFocus();
            return;
        }
    }
    DoEvents();
    window_.control(u"Text2"_s).setText(description);
    // An empty field stays open for the account, its lookup and a paste.
    if (typed.isEmpty())
        return;
    glLocked_ = true;
    // Read-only, the field takes no pasted or dropped text either.
    field.setLocked(true);
}

void FieldChecks::leaveChitNumber()
{
    Control field = Text1(window_, Field::ChitNumber);
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

void FieldChecks::leaveChitDate()
{
    Control field = Text1(window_, Field::ChitDate);
    field.setText(completeChitDate(field.text(), settings_.ArYear));
    // A text that is not a whole date number counts as a blank date.
    bool whole = false;
    const qint32 typed = field.text().toInt(&whole);
    if (!whole || typed < 1) {
        MsgBox(u"A blank date entry is automatically reset to today's date"_s, BoxButtons::Ok,
               BoxIcon::Information, u"FYI..."_s);
        field.setText(QString::number(SetToday().TodayNumber));
        dateTouched_ = true;
    }
    batch_.WorkDate = field.text().toInt();
    if (lastChangedField_ == Field::ChitDate && dateTouched_) {
        warnOfSharedDate(QString::number(batch_.WorkDate),
                         u"You should notify this user that you are\nadding transactions to the "
                         u"date he/she is\nalso currently using."_s);
    }
    dateTouched_ = false;
    const DateVerdict verdict = workDateVerdict(batch_.WorkDate, settings_);
    if (verdict == DateVerdict::Accepted)
        return;
    MsgBox(dateRefusalText(verdict), BoxButtons::Ok, BoxIcon::Information,
           u"Date entered: "_s + QString::number(batch_.WorkDate));
    field.setFocus();
}

void FieldChecks::leaveMember()
{
    Control field = Text1(window_, Field::Member);
    QString typed = field.text().trimmed();
    const bool answered = lookup_.takeAnswer(Field::Member, typed);
    // The validator and the balance pass their texts through the clipboard; what another
    // program left there is put back afterwards.
    const QString kept = answered ? QString() : platform().clipboardText();
    QString description = typed;
    if (Val(typed) != 0 && !settings_.SkipMemberCheck) {
        const Result<MemberAccount> member = ValidateMember(typed);
        keyed_.MemberTerminated = member && member->terminated;
        if (!member) {
            putClipboardBack(kept);
            field.setFocus();
            return;
        }
        description = member->description;
        keyed_.TaxExempt = member->exempt;
    }
    if (keyed_.mode == TransMode::Payment) {
        // The payment goes on without the balance; the operator is told why it is missing.
        if (const Result<void> shown
            = putBalanceOnClipboard(Val(Text1(window_, Field::Member).text()));
            !shown)
            ReportError(shown.failure());
    }
    const QString passed = platform().clipboardText();
    showMember(description, passed != kept ? passed : QString());
    putClipboardBack(kept);
    DoEvents();
}

void FieldChecks::showMember(const QString &description, const QString &passed)
{
    Control box = window_.control(u"Text3"_s);
    box.setText(description + u" -- "_s + passed);
    const std::pair<const char *, const char *> warnings[]
        = { { "SUSPENDED", "Suspended Member Account" },
            { "TERMINATED", "Terminated Member Account" } };
    for (const auto &[word, title] : warnings) {
        if (!description.contains(QString::fromLatin1(word)))
            continue;
        box.setBackColor(Colors::Red);
        box.setForeColor(Colors::Yellow);
        MsgBox(u"Please verify this entry."_s, BoxButtons::Ok, BoxIcon::Critical,
               QString::fromLatin1(title));
        box.setForeColor(window_.control(u"Frame1"_s).foreColor());
        box.setBackColor(Colors::ButtonFace);
    }
}

void FieldChecks::leaveEmployee()
{
    Control field = Text1(window_, Field::Employee);
    field.setText(field.text().toUpper());
    QString typed = field.text().trimmed();
    if (typed.isEmpty()) {
        typed = u"0"_s;
        field.setText(u"0"_s);
    }
    const EmployeeLookup lookup = settings_.EmpValidate;
    if (lookup == EmployeeLookup::Off)
        typed = u"Employee validation is off"_s;
    lookup_.takeAnswer(Field::Employee, typed);
    QString description = typed;
    if (Val(typed) != 0 && lookup != EmployeeLookup::Off && !settings_.SkipEmpCheck) {
        const Result<Employee> employee = ValidateEmployee(typed, lookup);
        if (!employee) {
            if (!field.enabled())
                backToNormal_();
            field.setFocus();
            return;
        }
        description = employee->description;
    }
    window_.control(u"Text4"_s).setText(description);
    DoEvents();
}

void FieldChecks::leaveCovers()
{
    const double covers = std::abs(Val(Text1(window_, Field::Covers).text()));
    if (covers > 1000 && AskYesNo(u"Please verify covers entry"_s, u"Out of normal range"_s)) {
        Text1(window_, Field::Covers).setFocus();
        return;
    }
    if (covers > 32767) {
        MsgBox(u"Entry too large - Redo."_s, BoxButtons::Ok, BoxIcon::Critical,
               u"Out of acceptable range"_s);
        Text1(window_, Field::Covers).setFocus();
    }
}

void FieldChecks::leaveKeyedAmount(int index)
{
    // A text that is not a number is left for the operator to see.
    Control field = Text1(window_, index);
    const QString text = field.text().trimmed();
    bool number = false;
    const double value = text.toDouble(&number);
    if (number)
        field.setText(Cents::of(value).text());
}

Result<void> putBalanceOnClipboard(double member)
{
    SuiteDb db(u"master2.mdb"_s);
    Result<QSqlQuery> read
        = db.query(u"select balfwd from ar where acctnumber between "_s
                   + shortestNumber(member - 0.001) + u" and "_s + shortestNumber(member + 0.001));
    if (!read)
        return read.failure();
    QSqlQuery &query = *read;
    const bool found = query.next();
    if (!found && query.lastError().isValid())
        return dbFailure(query.lastError(), db.fileName());
    if (found) {
        platform().clearClipboard();
        DoEvents();
        platform().setClipboardText(u"Balance: "_s
                                    + formatMask(query.value(0).toDouble(), u"###,###.#0"_s));
    }
    db.close();
    DoEvents();
    return {};
}

DateVerdict workDateVerdict(qint32 workDate, const ArSettings &settings)
{
    return checkChitDate(workDate, settings.ArYear, settings.ArMonth, session().AccessLevel,
                         platform().today().year());
}

} // namespace tallic
