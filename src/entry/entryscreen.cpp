// The entry window as designed: where each control stands and how it looks at start.
#include "entryscreen.h"

#include "basic/chit.h"
#include "entrycontrols.h"
#include "platform/colors.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QValidator>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

constexpr int FieldCount = Field::Last;
const char *const FieldCaptions[FieldCount]
    = { "G/L Acct #", "Chit #",    "Chit Date",   "Member #", "Employee #",
        "Covers OFF", "Base Sale", "Service Chg", "Tax",      "Chit Total" };
const char *const PreviousCaptions[FieldCount]
    = { "G/L Acct#", "Chit#",       "Chit date",     "Member #", "Employee #",
        "Covers",    "Base Sale $", "Service Chg $", "Tax $",    "Chit total $" };
constexpr int FieldLengths[FieldCount] = { 9, 10, 8, 9, 4, 4, 11, 11, 11, 11 };
constexpr quint32 Navy = Rgb(0, 0, 128);
constexpr quint32 LightBlue = Rgb(192, 192, 255);
constexpr int RowHeight = 38;

int fieldTop(int i)
{
    return 32 + (i - 1) * RowHeight;
}

// A member number is digits with at most one point (a sub-account): anything else, typed or
// pasted, is refused whole, and the field's own length limit holds for the rest.
class MemberNumberOnly final : public QValidator
{
public:
    MemberNumberOnly(QObject *parent, const QValidator *limit)
        : QValidator(parent)
        , limit_(limit)
    {
    }
    State validate(QString &input, int &pos) const override
    {
        static const QRegularExpression number(u"^[0-9]*\\.?[0-9]*$"_s);
        if (!number.match(input).hasMatch())
            return Invalid;
        return limit_ ? limit_->validate(input, pos) : Acceptable;
    }

private:
    const QValidator *limit_;
};

void buildMenus(Form &window)
{
    QMenu *file = window.addMenu(u"fille"_s, u"&File"_s);
    window.addMenuEntry(file, u"mnuautogen"_s, u"AutoGenerate Chits"_s);
    window.addMenuEntry(file, u"bar"_s, QString())->setSeparator(true);
    window.addMenuEntry(file, u"exit"_s, u"E&xit"_s);
    window.addMenuEntry(nullptr, u"eomeditor"_s, u"EO&M-Editor"_s)->setVisible(false);
    window.addMenuEntry(nullptr, u"dpedit"_s, u"&Workspace Editor"_s);
    window.addMenuEntry(nullptr, u"info"_s, u"&Info"_s);
    window.addMenuEntry(nullptr, u"help"_s, u"&Help"_s);
}

void buildFields(Form &window)
{
    window.addFrame(u"Frame1"_s, QRect(10, 4, 470, 470), u"Current Chit"_s);
    for (int i = Field::First; i <= Field::Last; ++i) {
        const int y = fieldTop(i);
        window.addLabel(u"Label1"_s, i, QRect(20, y, 120, 28),
                        QString::fromLatin1(FieldCaptions[i - 1]));
        Control label = Label1(window, i);
        static_cast<QLabel *>(label.widget())->setIndent(4);
        const bool keyed = i == Field::GlAccount || i == Field::ChitNumber || i == Field::ChitDate
            || i == Field::Employee;
        label.setBackColor(keyed ? Colors::Blue : Colors::ButtonFace);
        label.setForeColor(keyed ? Colors::White : Colors::ButtonText);

        window.addTextBox(u"Text1"_s, i, QRect(146, y, 130, 28));
        Control field = Text1(window, i);
        field.setMaxLength(FieldLengths[i - 1]);
        field.setFont(u"Sans Serif"_s, 9.75, true);
        field.setForeColor(Navy);
        field.setBackColor(Colors::White);
        if (i >= 8) {
            field.setEnabled(false);
            field.setBackColor(Colors::ButtonFace);
        }
        if (i >= 7)
            static_cast<QLineEdit *>(field.widget())->setAlignment(Qt::AlignRight);
    }
    Text1(window, Field::Covers).setVisible(false);
    auto *member = static_cast<QLineEdit *>(Text1(window, Field::Member).widget());
    member->setValidator(new MemberNumberOnly(member, member->validator()));

    // Descriptions of the account, the member and the employee, beside their fields.
    const std::pair<const char *, int> displays[]
        = { { "Text2", 1 }, { "Text3", 4 }, { "Text4", 5 } };
    for (const auto &[name, row] : displays) {
        window.addTextBox(QString::fromLatin1(name), -1, QRect(282, fieldTop(row), 190, 28));
        Control box = window.control(QString::fromLatin1(name));
        box.setLocked(true);
        box.setTabStop(false);
        box.setBackColor(LightBlue);
    }

    window.addLabel(u"Label2"_s, -1, QRect(20, 416, 452, 20),
                    u"Memo OFF - click HERE to activate"_s);
    window.addTextBox(u"txtmemo"_s, -1, QRect(20, 438, 452, 28));
    Control memo = window.control(u"txtmemo"_s);
    memo.setMaxLength(40);
    memo.setVisible(false);
    memo.setEnabled(false);
    memo.setBackColor(Colors::White);
}

void buildPreviousChit(Form &window)
{
    window.addFrame(u"frapreviouschit"_s, QRect(490, 4, 230, 470), u"Previous chit information"_s);
    for (int i = Field::First; i <= Field::Last; ++i) {
        const int y = fieldTop(i);
        window.addLabel(u"Label3"_s, i, QRect(498, y + 4, 100, 20),
                        QString::fromLatin1(PreviousCaptions[i - 1]));
        window.addTextBox(u"txtprev"_s, i, QRect(600, y, 112, 28));
        Control prev = txtprev(window, i);
        prev.setLocked(true);
        prev.setTabStop(false);
        prev.setBackColor(Colors::ButtonFace);
    }
}

void buildCommands(Form &window)
{
    struct Command
    {
        const char *name;
        const char *caption;
    };
    const Command commands[] = {
        { "cmdnewbatch", "New &Batch" },
        { "cmdnormal", "&Normal Mode" },
        { "cmdpayments", "&Payment Mode" },
        { "cmdadjust", "Adjustment/&Credit Mode" },
        { "cmdscbypass", "S/C Bypass Off" },
        { "cmdtaxbypass", "Tax Bypass Off" },
        { "cmdredo", "&Redo" },
        { "cmdautogenerate", "Auto&Generate" },
        { "cmdexit", "E&xit" },
    };
    int y = 10;
    for (const Command &command : commands) {
        window.addButton(QString::fromLatin1(command.name), -1, QRect(730, y, 160, 36),
                         QString::fromLatin1(command.caption));
        y += command.name == std::string_view("cmdnewbatch") ? 56 : 42;
    }
    window.addButton(u"cmdokay"_s, -1, QRect(730, 420, 160, 54), u"O&K"_s);
    window.control(u"cmdokay"_s).setFont(u"Sans Serif"_s, 12, true);
    // OK is offered once the amounts of a chit are computed.
    window.control(u"cmdokay"_s).setEnabled(false);

    window.addLabel(u"lblcount"_s, -1, QRect(10, 484, 90, 28), u"Chit Count"_s);
    window.addTextBox(u"Text5"_s, -1, QRect(100, 484, 70, 28));
    window.control(u"Text5"_s).setLocked(true);
    window.control(u"Text5"_s).setTabStop(false);

    const char *const validity[] = { "Hash Total", "Base Total", "Sum C+M+B", "Sum C+M+E+B" };
    for (int i = 0; i < 4; ++i) {
        const int x = 190 + i * 175;
        window.addLabel(u"lblvalidity"_s, i, QRect(x, 484, 75, 28),
                        QString::fromLatin1(validity[i]));
        window.addTextBox(u"txtvalid"_s, i, QRect(x + 75, 484, 95, 28));
        Control box = window.control(u"txtvalid"_s, i);
        box.setLocked(true);
        box.setTabStop(false);
        box.setBackColor(Colors::Blue);
        box.setForeColor(Colors::White);
        box.setVisible(false);
        window.control(u"lblvalidity"_s, i).setVisible(false);
    }

    window.addLabel(u"lblconsolidate"_s, -1, QRect(10, 520, 880, 30),
                    u"Chit consolidation mode is ON"_s);
    Control consolidate = window.control(u"lblconsolidate"_s);
    consolidate.setForeColor(Colors::Red);
    consolidate.setVisible(false);
}

} // namespace

void buildEntryScreen(Form &window)
{
    buildMenus(window);
    buildFields(window);
    buildPreviousChit(window);
    buildCommands(window);

    window.addTextBox(u"helpwindow"_s, -1, QRect(10, 560, 880, 30));
    Control help = window.control(u"helpwindow"_s);
    help.setLocked(true);
    help.setTabStop(false);
    help.setFont(u"Sans Serif"_s, 9.75, true);
    help.setForeColor(Navy);

    // The keying path: the fields, the memo and OK, then the computed amounts.
    int tab = 0;
    for (int i = Field::First; i <= Field::BaseSale; ++i)
        Text1(window, i).setTabIndex(tab++);
    window.control(u"txtmemo"_s).setTabIndex(tab++);
    window.control(u"cmdokay"_s).setTabIndex(tab++);
    for (int i = Field::ServiceCharge; i <= Field::Total; ++i)
        Text1(window, i).setTabIndex(tab++);
    for (const char *name : { "cmdnewbatch", "cmdnormal", "cmdpayments", "cmdadjust", "cmdscbypass",
                              "cmdtaxbypass", "cmdredo", "cmdautogenerate", "cmdexit" })
        window.control(QString::fromLatin1(name)).setTabIndex(tab++);
}

void switchFieldOn(const Form &window, int index)
{
    Label1(window, index).setBackColor(Colors::Blue);
    Label1(window, index).setForeColor(Colors::White);
    Text1(window, index).setEnabled(true);
    Text1(window, index).setVisible(true);
}

} // namespace tallic
