// The menu commands that start the suite's other programs.
#include "arinput.h"

#include "platform/runtime.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "suite/tools.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

const QString TextViewer = u"vuruzad.exe arinput.txt.txt"_s;

} // namespace

void Arinput::dpedit_Click()
{
    SharedState &s = state();
    s.LocationText = u"Prastle"_s;
    s.WorkDateText.clear();
    SetStaffLocation();

    s.ToolCode = u"WJX"_s;
    s.ToolLevel = s.AccessLevel;
    BuildToolArgument();

    // The editor reads the date to work on from the clipboard.
    platform().clearClipboard();
    DoEvents();
    platform().setClipboardText(QString::number(s.WorkDate).rightJustified(8, u'0'));
    DoEvents();

    s.ToolProgram = u"prastle.exe"_s;
    RunTool();
}

void Arinput::eomeditor_Click()
{
    SharedState &s = state();
    if (s.AccessLevel < s.LevelLimits[3]) {
        ShowAccessDenied();
        return;
    }
    s.ToolCode = u"ZPH"_s;
    s.ToolLevel = s.AccessLevel;
    BuildToolArgument();
    s.ToolProgram = u"holvane.exe"_s;
    RunTool();
}

void Arinput::info_Click()
{
    ShowVersionInfo();
}

void Arinput::help_Click()
{
    ShowHelp(TextViewer, [this] { releaseTopmost(); });
}

} // namespace tallic
