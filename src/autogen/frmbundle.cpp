#include "frmbundle.h"

#include "basic/version.h"
#include "entry/arinput.h"
#include "suite/windows.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

Frmbundle::Frmbundle()
    : Form(u"frmbundle"_s, QSize(640, 480))
{
    setCaption(u"AutoGenerate Chits - "_s + VersionText);
}

void Frmbundle::Form_Load()
{
    CenterForm(this);
    // Chits generated into practice data must look different at a glance.
    ApplyPracticeColour(this);
}

void installAutoGenerate()
{
    Arinput::setAutoGenerateOpener([] {
        // One AutoGenerate window at a time; asking again brings it forward.
        Form *bundle = Form::find(u"frmbundle"_s);
        if (!bundle)
            bundle = new Frmbundle;
        bundle->open();
    });
}

} // namespace tallic
