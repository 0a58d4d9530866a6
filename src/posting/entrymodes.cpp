// The transaction modes on the screen, and the way back from AutoGenerate.
#include "entrymodes.h"

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

EntryModes::EntryModes(Arinput &window)
    : window_(window)
{
}

void EntryModes::setAutoGenerateOpener(std::function<void()> open)
{
    autoGenerateOpener() = std::move(open);
}

void EntryModes::openAutoGenerate()
{
    if (autoGenerateOpener())
        autoGenerateOpener()();
}

void EntryModes::redoChit()
{
    for (int i = Field::First; i <= Field::Last; ++i)
        window_.Text1(i).setText(QString());
    window_.Text1(Field::ChitNumber).setText(modeWord(window_.keyed_.mode));

    // A G/L account fixed by its caption stays, with its description.
    const double fixedAccount = Val(window_.Label1(Field::GlAccount).caption().trimmed());
    if (fixedAccount < 1)
        window_.control(u"Text2"_s).setText(QString());
    window_.control(u"Text3"_s).setText(QString());
    window_.control(u"Text4"_s).setText(QString());
    window_.control(u"txtmemo"_s).setText(QString());
    if (fixedAccount > 0)
        window_.Text1(Field::GlAccount)
            .setText(window_.Label1(Field::GlAccount).caption().trimmed());
    window_.GlLocked = false;
    window_.Text1(Field::GlAccount).setLocked(false);

    for (int i = Field::First; i <= Field::BaseSale; ++i) {
        Control field = window_.Text1(i);
        if (field.enabled() && field.visible()) {
            field.setFocus();
            break;
        }
    }
    window_.keyed_.startChit();
    DoEvents();
}

void EntryModes::normalMode()
{
    window_.keyed_.mode = TransMode::Normal;
    redoChit();
    DoEvents();
    if (window_.batch_.WorkDate < 1)
        window_.batch_.WorkDate = SetToday().TodayNumber;

    const quint32 frameText = window_.control(u"Frame1"_s).foreColor();
    auto keyed = [this](int i, const QString &caption) {
        switchFieldOn(window_, i);
        window_.Label1(i).setCaption(caption);
    };
    for (int i = Field::First; i <= Field::BaseSale; ++i) {
        window_.Label1(i).setBackColor(Colors::ButtonFace);
        window_.Label1(i).setForeColor(frameText);
        window_.Label1(i).setVisible(true);
    }
    keyed(Field::GlAccount, u"G/L Acct #"_s);
    keyed(Field::ChitNumber, u"Chit #"_s);
    keyed(Field::ChitDate, u"Chit Date"_s);
    if (Val(window_.Text1(Field::ChitDate).text()) < 1)
        window_.Text1(Field::ChitDate).setText(QString::number(window_.batch_.WorkDate));
    window_.Label1(Field::Member).setCaption(u"Member #"_s);
    window_.Text1(Field::Member).setVisible(true);
    window_.Text1(Field::Member).setEnabled(true);
    keyed(Field::Employee,
          window_.start().settings().EmpValidate == EmployeeLookup::OperatorNumber
              ? u"Emp Operator #"_s
              : window_.start().settings().EmpValidate == EmployeeLookup::AccessNumber
              ? u"Emp Access #"_s
              : u"Employee #"_s);
    window_.Label1(Field::Covers).setCaption(u"Covers OFF"_s);
    window_.Text1(Field::Covers).setVisible(false);
    window_.Text1(Field::Covers).setEnabled(false);
    window_.Label1(Field::BaseSale).setCaption(u"Base Sale"_s);
    window_.Label1(Field::Total).setCaption(u"Chit Total"_s);

    // Payment mode hides the charges.
    for (int i : { Field::ServiceCharge, Field::Tax }) {
        window_.Label1(i).setVisible(true);
        window_.Text1(i).setVisible(true);
    }

    Control memoLabel = window_.control(u"Label2"_s);
    memoLabel.setCaption(u"Memo OFF - click HERE to activate"_s);
    memoLabel.setBackColor(window_.control(u"lblconsolidate"_s).backColor());
    memoLabel.setForeColor(frameText);
    window_.control(u"txtmemo"_s).setVisible(false);
    window_.control(u"txtmemo"_s).setEnabled(false);

    window_.Text1(Field::GlAccount).setFocus();
    DoEvents();
}

void EntryModes::enterMode(TransMode mode)
{
    normalMode();
    if (mode == TransMode::Normal)
        return;
    if (mode != TransMode::Payment)
        mode = AskYesNo(KeyedChit::adjustmentQuestion(), u"Adjustment/Credit"_s)
            ? TransMode::Adjustment
            : TransMode::Credit;
    window_.keyed_.mode = mode;
    const ModeLook look = KeyedChit::look(mode);
    window_.Label1(Field::ChitNumber).setVisible(false);
    window_.Text1(Field::ChitNumber).setText(modeWord(mode));
    window_.Text1(Field::ChitNumber).setEnabled(false);
    for (int i : { Field::Employee, Field::Covers }) {
        window_.Label1(i).setVisible(false);
        window_.Text1(i).setVisible(false);
    }
    window_.Label1(Field::BaseSale).setBackColor(look.baseBack);
    window_.Label1(Field::BaseSale)
        .setForeColor(look.baseFore.value_or(window_.control(u"Frame1"_s).foreColor()));
    window_.Label1(Field::BaseSale).setCaption(look.baseCaption);
    if (!look.totalCaption.isEmpty())
        window_.Label1(Field::Total).setCaption(look.totalCaption);
    for (int i : { Field::ServiceCharge, Field::Tax }) {
        window_.Label1(i).setVisible(look.charges);
        window_.Text1(i).setVisible(look.charges);
    }
    window_.Text1(Field::GlAccount).setFocus();
    DoEvents();
}

void EntryModes::backFromAutoGenerate()
{
    if (programEnding() || window_.activeControl().name() != u"cmdautogenerate"_s)
        return;
    // A locked account takes no keys: the chit goes on in the next field.
    for (int i = window_.promptField_; i <= Field::BaseSale; ++i) {
        Control field = window_.Text1(i);
        if (field.enabled() && field.visible() && !(i == Field::GlAccount && window_.GlLocked)) {
            field.setFocus();
            return;
        }
    }
}

} // namespace tallic
