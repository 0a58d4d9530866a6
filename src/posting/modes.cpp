// The transaction modes, the bypasses and the window commands.
#include "basic/numbers.h"
#include "entry/arinput.h"
#include "platform/colors.h"
#include "platform/runtime.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/today.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// What stands in the chit-number field of each mode, and is stored as its chit number.
QString modeWord(qint16 transMode)
{
    switch (transMode) {
    case 1:
        return u"PAYMENT"_s;
    case 2:
        return u"ADJMENT"_s;
    case 3:
        return u"CREDIT"_s;
    default:
        return QString();
    }
}

std::function<void()> &autoGenerateOpener()
{
    static std::function<void()> open;
    return open;
}

} // namespace

void Arinput::setAutoGenerateOpener(std::function<void()> open)
{
    autoGenerateOpener() = std::move(open);
}

void Arinput::RedoChit()
{
    SharedState &s = state();
    for (int i = Field::First; i <= Field::Last; ++i)
        Text1(i).setText(QString());
    Text1(Field::ChitNumber).setText(modeWord(s.TransMode));

    // A G/L account fixed by its caption stays, with its description.
    const double fixedAccount = Val(Label1(Field::GlAccount).caption().trimmed());
    if (fixedAccount < 1)
        ctl(u"Text2"_s).setText(QString());
    ctl(u"Text3"_s).setText(QString());
    ctl(u"Text4"_s).setText(QString());
    ctl(u"txtmemo"_s).setText(QString());
    if (fixedAccount > 0)
        Text1(Field::GlAccount).setText(Label1(Field::GlAccount).caption().trimmed());
    GlLocked = 0;
    Text1(Field::GlAccount).setLocked(false);

    for (int i = Field::First; i <= Field::BaseSale; ++i) {
        Control field = Text1(i);
        if (field.enabled() && field.visible()) {
            field.setFocus();
            break;
        }
    }
    // A member's termination and tax exemption hold for their own chit only.
    s.MemberTerminated = 0;
    s.TaxExempt = 0;
    s.SalesTaxRate = s.CompanyTaxRate;
    DoEvents();
}

void Arinput::NormalMode()
{
    SharedState &s = state();
    s.TransMode = 0;
    RedoChit();
    DoEvents();
    if (s.WorkDate < 1) {
        SetToday();
        s.WorkDate = s.TodayNumber;
    }

    const quint32 frameText = ctl(u"Frame1"_s).foreColor();
    auto keyed = [this](int i, const QString &caption) {
        switchFieldOn(i);
        Label1(i).setCaption(caption);
    };
    for (int i = Field::First; i <= Field::BaseSale; ++i) {
        Label1(i).setBackColor(Colors::ButtonFace);
        Label1(i).setForeColor(frameText);
        Label1(i).setVisible(true);
    }
    keyed(1, u"G/L Acct #"_s);
    keyed(2, u"Chit #"_s);
    keyed(3, u"Chit Date"_s);
    if (Val(Text1(Field::ChitDate).text()) < 1)
        Text1(Field::ChitDate).setText(QString::number(s.WorkDate));
    Label1(Field::Member).setCaption(u"Member #"_s);
    Text1(Field::Member).setVisible(true);
    Text1(Field::Member).setEnabled(true);
    keyed(5,
          s.EmpValidate == 1       ? u"Emp Operator #"_s
              : s.EmpValidate == 2 ? u"Emp Access #"_s
                                   : u"Employee #"_s);
    Label1(Field::Covers).setCaption(u"Covers OFF"_s);
    Text1(Field::Covers).setVisible(false);
    Text1(Field::Covers).setEnabled(false);
    Label1(Field::BaseSale).setCaption(u"Base Sale"_s);
    Label1(Field::Total).setCaption(u"Chit Total"_s);

    // Payment mode hides the charges.
    for (int i : { Field::ServiceCharge, Field::Tax }) {
        Label1(i).setVisible(true);
        Text1(i).setVisible(true);
    }

    Control memoLabel = ctl(u"Label2"_s);
    memoLabel.setCaption(u"Memo OFF - click HERE to activate"_s);
    memoLabel.setBackColor(ctl(u"lblconsolidate"_s).backColor());
    memoLabel.setForeColor(frameText);
    ctl(u"txtmemo"_s).setVisible(false);
    ctl(u"txtmemo"_s).setEnabled(false);

    Text1(Field::GlAccount).setFocus();
    DoEvents();
}

void Arinput::PaymentMode()
{
    NormalMode();
    state().TransMode = 1;
    Label1(Field::ChitNumber).setVisible(false);
    Text1(Field::ChitNumber).setText(u"PAYMENT"_s);
    Text1(Field::ChitNumber).setEnabled(false);
    for (int i : { Field::Employee, Field::Covers }) {
        Label1(i).setVisible(false);
        Text1(i).setVisible(false);
    }
    Label1(Field::BaseSale).setBackColor(Colors::Green);
    Label1(Field::BaseSale).setForeColor(ctl(u"Frame1"_s).foreColor());
    Label1(Field::BaseSale).setCaption(u"Payment Amount"_s);
    Label1(Field::Total).setCaption(u"Payment Total"_s);
    // Payments carry no service charge and no tax.
    for (int i : { Field::ServiceCharge, Field::Tax }) {
        Label1(i).setVisible(false);
        Text1(i).setVisible(false);
    }
    Text1(Field::GlAccount).setFocus();
    DoEvents();
}

void Arinput::AdjustCreditMode()
{
    SharedState &s = state();
    NormalMode();
    s.MsgText = u"Adjustments are intended to correct transactions from a previously\n"
                "finished month and will not affect a current period's minimum.\n\n"
                "Credits are intended to correct transactions during the current\n"
                "billing month and may effect the current period's minimum.\n\n"
                "Both adjustment and credit entries appear on the current month's\n"
                "statement and are included in the current month's sales totals.\n\n"
                "Is this an adjustment to a PREVIOUS month's transaction?\n\n"_s;
    s.MsgTitle = u"Adjustment/Credit"_s;
    AskYesNo();
    if (s.MsgAnswer == AnswerYes) {
        Text1(Field::ChitNumber).setText(u"ADJMENT"_s);
        Label1(Field::BaseSale).setCaption(u"Adjustment"_s);
        s.TransMode = 2;
    } else {
        Text1(Field::ChitNumber).setText(u"CREDIT"_s);
        Label1(Field::BaseSale).setCaption(u"Credit"_s);
        s.TransMode = 3;
    }
    Label1(Field::ChitNumber).setVisible(false);
    Text1(Field::ChitNumber).setEnabled(false);
    for (int i : { Field::Employee, Field::Covers }) {
        Label1(i).setVisible(false);
        Text1(i).setVisible(false);
    }
    Label1(Field::BaseSale).setBackColor(Colors::Red);
    Label1(Field::BaseSale).setForeColor(Colors::White);
    Text1(Field::GlAccount).setFocus();
    DoEvents();
}

void Arinput::cmdnormal_Click()
{
    NormalMode();
}

void Arinput::cmdpayments_Click()
{
    PaymentMode();
}

void Arinput::cmdadjust_Click()
{
    AdjustCreditMode();
}

void Arinput::cmdredo_Click()
{
    RedoChit();
}

namespace {

// Shows a bypass as on or off: the button's caption and the amount's label.
void showBypass(Control button, Control label, bool on, const QString &onCaption,
                const QString &offCaption, const QString &labelOn, const QString &labelOff,
                quint32 frameText)
{
    button.setCaption(on ? onCaption : offCaption);
    label.setForeColor(on ? Colors::Red : frameText);
    label.setCaption(on ? labelOn : labelOff);
    label.refresh();
}

} // namespace

void Arinput::cmdscbypass_Click()
{
    SharedState &s = state();
    s.ScBypass = qint16(~s.ScBypass);
    showBypass(ctl(u"cmdscbypass"_s), Label1(Field::ServiceCharge), s.ScBypass != 0,
               u"S/C Bypass ON"_s, u"S/C Bypass Off"_s, u"S/C Bypassed"_s, u"Service Chg"_s,
               ctl(u"Frame1"_s).foreColor());
    DoEvents();
}

void Arinput::cmdtaxbypass_Click()
{
    SharedState &s = state();
    s.TaxBypass = qint16(~s.TaxBypass);
    showBypass(ctl(u"cmdtaxbypass"_s), Label1(Field::Tax), s.TaxBypass != 0, u"Tax Bypass ON"_s,
               u"Tax Bypass Off"_s, u"Tax Bypassed"_s, u"Tax"_s, ctl(u"Frame1"_s).foreColor());
    DoEvents();
}

void Arinput::cmdautogenerate_Click()
{
    mnuautogen_Click();
}

void Arinput::mnuautogen_Click()
{
    if (autoGenerateOpener())
        autoGenerateOpener()();
    DoEvents();
}

void Arinput::cmdexit_Click()
{
    unload();
}

void Arinput::exit_Click()
{
    unload();
}

void Arinput::lblconsolidate_MouseMove(int, int, double, double)
{
    Control help = ctl(u"helpwindow"_s);
    help.setText(
        u"Consolidate mode ON. Service charges and taxes must be keyed as separate chits when consolidate mode is on. The system will not calculate them automatically."_s);
    help.refresh();
}

} // namespace tallic
