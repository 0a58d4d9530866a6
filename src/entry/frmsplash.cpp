#include "frmsplash.h"

#include "platform/runtime.h"
#include "suite/windows.h"

#include <QLabel>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

Frmsplash::Frmsplash()
    : Form(u"frmsplash"_s, QSize(320, 90))
{
    setWindowFlag(Qt::FramelessWindowHint);
    QLabel *label
        = addLabel(u"Label1"_s, -1, QRect(10, 10, 300, 70), u"Loading... one moment please..."_s);
    label->setAlignment(Qt::AlignCenter);
    control(u"Label1"_s).setFont(u"Sans Serif"_s, 12, true);
}

void Frmsplash::Form_Load()
{
    CenterForm(this);
    SetTopmost(this, -1);
    show();
}

void Frmsplash::Form_Activate()
{
    DoEvents();
}

} // namespace tallic
