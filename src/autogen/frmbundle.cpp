#include "frmbundle.h"

#include "suite/windows.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

Frmbundle::Frmbundle()
    : Form(u"frmbundle"_s, QSize(640, 480))
{
    setCaption(u"AutoGenerate Chits - 21.12.28a"_s);
}

void Frmbundle::Form_Load()
{
    CenterForm(this);
    // Chits generated into practice data must look different at a glance.
    ApplyPracticeColour(this);
}

} // namespace tallic
