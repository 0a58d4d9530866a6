#include "frmbundle.h"

#include "basic/version.h"
#include "entry/arinput.h"
#include "platform/runtime.h"
#include "suite/messages.h"
#include "suite/tools.h"
#include "suite/windows.h"

#include <QGuiApplication>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

Frmbundle::Frmbundle()
    : Form(u"frmbundle"_s, QSize(900, 600))
{
    progress_ = buildBundleScreen(*this);
}

const Arinput *Frmbundle::entryWindow() const
{
    return qobject_cast<const Arinput *>(Form::find(u"arinput"_s));
}

const ArSettings &Frmbundle::settings() const
{
    static const ArSettings none;
    const Arinput *entry = entryWindow();
    return entry ? entry->start().settings() : none;
}

void Frmbundle::Form_Load()
{
    // The window takes the entry window's size and colour: the two read as one program.
    if (Form *entry = Form::find(u"arinput"_s)) {
        resize(entry->size());
        setBackColor(entry->backColor());
    }
    CenterForm(this);
    // Chits generated into practice data must look different at a glance.
    ApplyPracticeColour(this);

    show();
    DoEvents();
    setCaption(u"AutoGenerate Chits - "_s + VersionText);
    if (QGuiApplication::platformName() != u"offscreen"_s)
        raise();
    activateWindow();
    ctl(u"txtglnum"_s).setFocus();

    bundle_.load();
    DoEvents();
    members_.load();
    DoEvents();

    SetTopmost(this, -1);
    DoEvents();
    showMemberCount(*this);
    DoEvents();
}

void Frmbundle::Form_Activate()
{
    DoEvents();
}

void Frmbundle::Form_Unload(int &Cancel)
{
    if (!bundle_.savedOnExit(u"The bundle"_s, u"Bundle saved."_s)
        || !members_.savedOnExit(u"The member list"_s, u"Member list saved."_s)) {
        Cancel = 1;
        return;
    }
    if (Form *entry = Form::find(u"arinput"_s))
        static_cast<Arinput *>(entry)->modes().backFromAutoGenerate();
}

void Frmbundle::startLookup(const QString &program, const QString &box)
{
    lookup_.start(program);
    if (const QString answer = lookup_.answer(); !answer.isEmpty())
        ctl(box).setText(answer);
}

void Frmbundle::takeLookupAnswer(const QString &box)
{
    if (const QString answer = lookup_.take(); !answer.isEmpty())
        ctl(box).setText(answer);
}

void Frmbundle::txtmemo_GotFocus()
{
    ctl(u"txtmemo"_s).setBackColor(Colors::Yellow);
}

void Frmbundle::txtmemo_LostFocus()
{
    ctl(u"txtmemo"_s).setBackColor(Colors::White);
}

void Frmbundle::cmdhelp_Click()
{
    // The window stays released from the top afterwards.
    ShowHelp(u"vuruzad.exe bundle.txt"_s, [this] { SetTopmost(this, 0); });
}

void Frmbundle::cmdexit_Click()
{
    unload();
}

void installAutoGenerate()
{
    EntryModes::setAutoGenerateOpener([] {
        // One AutoGenerate window at a time; asking again brings it forward.
        Form *bundle = Form::find(u"frmbundle"_s);
        if (!bundle)
            bundle = new Frmbundle;
        bundle->open();
    });
}

} // namespace tallic
