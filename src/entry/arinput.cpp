#include "arinput.h"

#include "platform/colors.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

constexpr int FieldCount = 10;
const char *const FieldCaptions[FieldCount] = { "G/L Acct #", "Chit #",    "Chit Date",   "Member #",
                                                "Employee #", "Covers OFF", "Base Sale",  "Service Chg",
                                                "Tax",        "Chit Total" };
constexpr int FieldLengths[FieldCount] = { 9, 10, 8, 9, 4, 4, 11, 11, 11, 11 };

} // namespace

Arinput::Arinput()
    : Form(u"arinput"_s, QSize(800, 560))
{
    setCaption(u"Accounts Receivable"_s);
    buildScreen();
}

void Arinput::buildScreen()
{
    addFrame(u"fracurrentchit"_s, QRect(10, 10, 470, 420), u"Current Chit"_s);
    for (int i = 1; i <= FieldCount; ++i) {
        const int y = 30 + (i - 1) * 38;
        addLabel(u"Label1"_s, i, QRect(20, y, 110, 26), QString::fromLatin1(FieldCaptions[i - 1]));
        addTextBox(u"Text1"_s, i, QRect(135, y, 130, 26));
        Control field = Text1(i);
        field.setMaxLength(FieldLengths[i - 1]);
        field.setFont(u"Sans Serif"_s, 9.75, true);
        field.setForeColor(Rgb(0, 0, 128));
        if (i >= 8) {
            field.setEnabled(false);
            field.setBackColor(Colors::ButtonFace);
        }
    }
    Text1(6).setVisible(false);
    addButton(u"cmdnewbatch"_s, -1, QRect(500, 20, 140, 34), u"New &Batch"_s);
    addButton(u"cmdokay"_s, -1, QRect(500, 370, 140, 40), u"OK"_s);
    addButton(u"cmdexit"_s, -1, QRect(650, 20, 140, 34), u"E&xit"_s);
    addTextBox(u"helpwindow"_s, -1, QRect(10, 440, 780, 30));
    control(u"helpwindow"_s).setLocked(true);
    control(u"helpwindow"_s).setTabStop(false);
}

} // namespace tallic
