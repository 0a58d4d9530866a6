// The transaction modes and the bypasses on the screen, and the window commands.
#include "basic/numbers.h"
#include "entry/arinput.h"
#include "entry/entryscreen.h"
#include "platform/colors.h"
#include "platform/runtime.h"
#include "suite/messages.h"
#include "suite/today.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

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
    for (int i = Field::First; i <= Field::Last; ++i)
        Text1(i).setText(QString());
    Text1(Field::ChitNumber).setText(modeWord(keyed_.mode));

    // A G/L account fixed by its caption stays, with its description.
    const double fixedAccount = Val(Label1(Field::GlAccount).caption().trimmed());
    if (fixedAccount < 1)
        control(u"Text2"_s).setText(QString());
    control(u"Text3"_s).setText(QString());
    control(u"Text4"_s).setText(QString());
    control(u"txtmemo"_s).setText(QString());
    if (fixedAccount > 0)
        Text1(Field::GlAccount).setText(Label1(Field::GlAccount).caption().trimmed());
    GlLocked = false;
    Text1(Field::GlAccount).setLocked(false);

    for (int i = Field::First; i <= Field::BaseSale; ++i) {
        Control field = Text1(i);
        if (field.enabled() && field.visible()) {
            field.setFocus();
            break;
        }
    }
    keyed_.startChit();
    DoEvents();
}

void Arinput::NormalMode()
{
    keyed_.mode = TransMode::Normal;
    RedoChit();
    DoEvents();
    if (batch_.WorkDate < 1)
        batch_.WorkDate = SetToday().TodayNumber;

    const quint32 frameText = control(u"Frame1"_s).foreColor();
    auto keyed = [this](int i, const QString &caption) {
        switchFieldOn(*this, i);
        Label1(i).setCaption(caption);
    };
    for (int i = Field::First; i <= Field::BaseSale; ++i) {
        Label1(i).setBackColor(Colors::ButtonFace);
        Label1(i).setForeColor(frameText);
        Label1(i).setVisible(true);
    }
    keyed(Field::GlAccount, u"G/L Acct #"_s);
    keyed(Field::ChitNumber, u"Chit #"_s);
    keyed(Field::ChitDate, u"Chit Date"_s);
    if (Val(Text1(Field::ChitDate).text()) < 1)
        Text1(Field::ChitDate).setText(QString::number(batch_.WorkDate));
    Label1(Field::Member).setCaption(u"Member #"_s);
    Text1(Field::Member).setVisible(true);
    Text1(Field::Member).setEnabled(true);
    keyed(Field::Employee,
          settings_.EmpValidate == EmployeeLookup::OperatorNumber     ? u"Emp Operator #"_s
              : settings_.EmpValidate == EmployeeLookup::AccessNumber ? u"Emp Access #"_s
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

    Control memoLabel = control(u"Label2"_s);
    memoLabel.setCaption(u"Memo OFF - click HERE to activate"_s);
    memoLabel.setBackColor(control(u"lblconsolidate"_s).backColor());
    memoLabel.setForeColor(frameText);
    control(u"txtmemo"_s).setVisible(false);
    control(u"txtmemo"_s).setEnabled(false);

    Text1(Field::GlAccount).setFocus();
    DoEvents();
}

void Arinput::enterMode(TransMode mode)
{
    NormalMode();
    if (mode == TransMode::Normal)
        return;
    if (mode != TransMode::Payment)
        mode = AskYesNo(KeyedChit::adjustmentQuestion(), u"Adjustment/Credit"_s)
            ? TransMode::Adjustment
            : TransMode::Credit;
    keyed_.mode = mode;
    const ModeLook look = KeyedChit::look(mode);
    Label1(Field::ChitNumber).setVisible(false);
    Text1(Field::ChitNumber).setText(modeWord(mode));
    Text1(Field::ChitNumber).setEnabled(false);
    for (int i : { Field::Employee, Field::Covers }) {
        Label1(i).setVisible(false);
        Text1(i).setVisible(false);
    }
    Label1(Field::BaseSale).setBackColor(look.baseBack);
    Label1(Field::BaseSale).setForeColor(look.baseFore.value_or(control(u"Frame1"_s).foreColor()));
    Label1(Field::BaseSale).setCaption(look.baseCaption);
    if (!look.totalCaption.isEmpty())
        Label1(Field::Total).setCaption(look.totalCaption);
    for (int i : { Field::ServiceCharge, Field::Tax }) {
        Label1(i).setVisible(look.charges);
        Text1(i).setVisible(look.charges);
    }
    Text1(Field::GlAccount).setFocus();
    DoEvents();
}

void Arinput::cmdnormal_Click()
{
    NormalMode();
}

void Arinput::cmdpayments_Click()
{
    enterMode(TransMode::Payment);
}

// An adjustment to a previous month, or a current-month credit: the operator is asked.
void Arinput::cmdadjust_Click()
{
    enterMode(TransMode::Adjustment);
}

void Arinput::cmdredo_Click()
{
    RedoChit();
}

namespace {

void showBypass(Control button, Control label, const BypassLook &look, quint32 frameText)
{
    button.setCaption(look.button);
    label.setForeColor(look.on ? Colors::Red : frameText);
    label.setCaption(look.label);
    label.refresh();
}

} // namespace

void Arinput::cmdscbypass_Click()
{
    showBypass(control(u"cmdscbypass"_s), Label1(Field::ServiceCharge), keyed_.toggleScBypass(),
               control(u"Frame1"_s).foreColor());
    DoEvents();
}

void Arinput::cmdtaxbypass_Click()
{
    showBypass(control(u"cmdtaxbypass"_s), Label1(Field::Tax), keyed_.toggleTaxBypass(),
               control(u"Frame1"_s).foreColor());
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

void Arinput::backFromAutoGenerate()
{
    if (programEnding() || activeControl().name() != u"cmdautogenerate"_s)
        return;
    // A locked account takes no keys: the chit goes on in the next field.
    for (int i = promptField_; i <= Field::BaseSale; ++i) {
        Control field = Text1(i);
        if (field.enabled() && field.visible() && !(i == Field::GlAccount && GlLocked)) {
            field.setFocus();
            return;
        }
    }
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
    Control help = control(u"helpwindow"_s);
    help.setText(
        u"Consolidate mode ON. Service charges and taxes must be keyed as separate chits when consolidate mode is on. The system will not calculate them automatically."_s);
    help.refresh();
}

} // namespace tallic
