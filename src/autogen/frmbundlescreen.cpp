// The AutoGenerate window as designed: the bundle on the left, the input boxes and the
// commands in the middle, the member list on the right, the progress across the bottom.
#include "frmbundle.h"

#include "bundlelist.h"

#include "platform/colors.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include <tuple>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

constexpr quint32 LightBlue = Rgb(0, 255, 255);
constexpr quint32 Grey = Rgb(128, 128, 128);
constexpr quint32 CountBack = Rgb(192, 192, 255);

struct Command
{
    const char *name;
    const char *caption;
    QRect rect;
};

// The bundle's commands stand under its boxes, the member list's under the member box.
constexpr int LeftColumn = 320;
constexpr int RightColumn = 455;
constexpr int ColumnWidth = 125;

QRect commandRect(int column, int row)
{
    return QRect(column, 84 + row * 38, ColumnWidth, 32);
}

// The two lists, the status boxes under them and the input boxes.
void buildBoxes(Form &window)
{
    const auto ctl = [&window](const QString &name) { return window.control(name); };
    window.addListBox(u"List1"_s, -1, QRect(10, 10, 300, 470));
    window.addListBox(u"List2"_s, -1, QRect(590, 10, 300, 470));
    for (const char *name : { "List1", "List2" }) {
        Control list = ctl(QString::fromLatin1(name));
        list.setBackColor(Colors::White);
        list.setForeColor(BundleList::SavedColor);
        list.setFont(u"Sans Serif"_s, 9.75, true);
    }

    const std::pair<const char *, QRect> statusBoxes[] = {
        { "helpwindow", QRect(10, 488, 300, 30) },
        { "helpwindow2", QRect(590, 488, 300, 30) },
        { "mainhelpwindow", QRect(10, 532, 880, 32) },
    };
    for (const auto &[name, rect] : statusBoxes) {
        window.addTextBox(QString::fromLatin1(name), -1, rect);
        Control box = ctl(QString::fromLatin1(name));
        box.setLocked(true);
        box.setTabStop(false);
        box.setBackColor(Grey);
        box.setForeColor(Colors::Yellow);
        // Small enough that the longest prompt fits its box.
        box.setFont(u"Sans Serif"_s, 8.25, true);
    }

    const std::tuple<const char *, QRect, quint32> inputs[] = {
        { "txtglnum", QRect(LeftColumn, 10, ColumnWidth, 28), Colors::Yellow },
        { "txtmember", QRect(RightColumn, 10, ColumnWidth, 28), LightBlue },
        { "txtprice", QRect(LeftColumn, 44, ColumnWidth, 28), Colors::Green },
    };
    for (const auto &[name, rect, color] : inputs) {
        window.addTextBox(QString::fromLatin1(name), -1, rect);
        Control box = ctl(QString::fromLatin1(name));
        box.setBackColor(color);
        box.setForeColor(Colors::Black);
        box.setFont(u"Sans Serif"_s, 9.75, true);
    }
}

void buildCommands(Form &window)
{
    const auto ctl = [&window](const QString &name) { return window.control(name); };
    const Command commands[] = {
        { "cmdadd", "&Add Item", commandRect(LeftColumn, 0) },
        { "cmddelete", "&Delete Item", commandRect(LeftColumn, 1) },
        { "cmdnew", "&New Bundle", commandRect(LeftColumn, 2) },
        { "cmdsavelist", "&Save Bundle", commandRect(LeftColumn, 3) },
        { "cmddeletelist", "Delete &Bundle", commandRect(LeftColumn, 4) },
        { "cmdaddmember", "Add &Member", commandRect(RightColumn, 0) },
        { "cmdaddgroup", "Add by &Class", commandRect(RightColumn, 1) },
        { "cmddeletemember", "Delete M&ember", commandRect(RightColumn, 2) },
        { "cmdnewmemberlist", "New &List", commandRect(RightColumn, 3) },
        { "cmdsavemember", "Save Lis&t", commandRect(RightColumn, 4) },
        { "cmddelmemlist", "Delete L&ist", commandRect(RightColumn, 5) },
        { "cmdgenerate", "&Generate Chits", QRect(LeftColumn, 398, 260, 40) },
        { "cmdhelp", "&Help", QRect(LeftColumn, 446, ColumnWidth, 32) },
        { "cmdexit", "E&xit", QRect(RightColumn, 446, ColumnWidth, 32) },
    };
    for (const Command &command : commands)
        window.addButton(QString::fromLatin1(command.name), -1, command.rect,
                         QString::fromLatin1(command.caption));
    ctl(u"cmdgenerate"_s).setFont(u"Sans Serif"_s, 12, true);
}

} // namespace

QProgressBar *buildBundleScreen(Form &window)
{
    const auto ctl = [&window](const QString &name) { return window.control(name); };
    buildBoxes(window);
    QProgressBar *progress = window.addProgressBar(u"progress"_s, QRect(10, 570, 880, 22));
    progress->setFormat(u"%v of %m members"_s);

    window.addLabel(u"lblcount"_s, -1, QRect(RightColumn, 44, ColumnWidth, 28), QString());
    Control count = ctl(u"lblcount"_s);
    count.setBackColor(CountBack);
    count.setFont(u"Sans Serif"_s, 9.75, true);
    static_cast<QLabel *>(count.widget())->setAlignment(Qt::AlignCenter);

    window.addLabel(u"Label1"_s, -1, QRect(LeftColumn, 318, 260, 38),
                    u"Optional: Add Memo below for all chits (Max=40 chars)"_s);
    static_cast<QLabel *>(ctl(u"Label1"_s).widget())->setWordWrap(true);
    window.addTextBox(u"txtmemo"_s, -1, QRect(LeftColumn, 360, 260, 28));
    ctl(u"txtmemo"_s).setMaxLength(40);
    ctl(u"txtmemo"_s).setBackColor(Colors::White);

    buildCommands(window);

    // Keyed in the order the operator works: an item, the bundle, a member, the list,
    // the memo, and the commands that finish.
    int tab = 0;
    for (const char *name :
         { "txtglnum",        "txtprice",         "cmdadd",        "cmddelete",     "cmdnew",
           "cmdsavelist",     "cmddeletelist",    "txtmember",     "cmdaddmember",  "cmdaddgroup",
           "cmddeletemember", "cmdnewmemberlist", "cmdsavemember", "cmddelmemlist", "txtmemo",
           "cmdgenerate",     "cmdhelp",          "cmdexit",       "List1",         "List2" })
        ctl(QString::fromLatin1(name)).setTabIndex(tab++);
    return progress;
}

} // namespace tallic
