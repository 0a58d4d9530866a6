#include "display.h"

#include <QByteArray>

#ifdef TALLIC_HAVE_X11
#include <X11/Xlib.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace tallic::tools {

QString displayProblem()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb"))
        return {};
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        if (platform.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            return {};
        return u"no X display (DISPLAY is not set)"_s;
    }
#ifdef TALLIC_HAVE_X11
    Display *x = XOpenDisplay(display.constData());
    if (!x)
        return u"no X display: %1 does not answer"_s.arg(QString::fromLocal8Bit(display));
    XCloseDisplay(x);
#endif
    return {};
}

} // namespace tallic::tools
