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
    SetStaffLocation(u"Prastle"_s);
    const QString code = BuildToolArgument(u"WJX"_s, session().AccessLevel, session().UserName);

    // The editor reads the date to work on from the clipboard.
    platform().clearClipboard();
    DoEvents();
    platform().setClipboardText(QString::number(batch_.WorkDate).rightJustified(8, u'0'));
    DoEvents();
    RunTool(u"prastle.exe"_s, code);
}

void Arinput::eomeditor_Click()
{
    const Session &s = session();
    if (s.AccessLevel < settings_.LevelLimits[3]) {
        ShowAccessDenied();
        return;
    }
    RunTool(u"holvane.exe"_s, BuildToolArgument(u"ZPH"_s, s.AccessLevel, s.UserName));
}

void Arinput::info_Click()
{
    ShowVersionInfo();
}

void Arinput::help_Click()
{
    ShowHelp(TextViewer, [this] { lookups_.releaseTopmost(); });
}

} // namespace tallic
