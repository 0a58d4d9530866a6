#include "display.h"

#include <QByteArray>
#include <QThread>

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
    // A busy X server may turn a connection away for a moment: asked a few times over two
    // seconds before the display is called gone.
    Display *x = nullptr;
    for (int tries = 0; !x && tries < 8; ++tries) {
        if (tries > 0)
            QThread::msleep(250);
        x = XOpenDisplay(display.constData());
    }
    if (!x)
        return u"no X display: %1 does not answer"_s.arg(QString::fromLocal8Bit(display));
    XCloseDisplay(x);
#endif
    return {};
}

} // namespace tallic::tools
