// tallic-keys: an operator at the keyboard, for demonstrations and end-to-end tests on X11.
// It types key strings, in the notation Tallic itself sends, into the window that has the
// keyboard focus, through the window system as a keyboard would.
//
//   tallic-keys [--window TITLE] [--pause MS] [--pace MS] [--click X,Y] [--shot FILE.png]
//               [KEYSTRING...]
//
// The arguments are carried out in order. --window waits up to 30 seconds for a shown window
// whose title begins with TITLE and gives it the keyboard focus; --pause sets the time left
// after each key string that follows (250 ms at first); --pace the time between two keys
// (40 ms at first, a quick typist); --click clicks the left mouse button at the screen's
// point X,Y; --shot saves the screen.
// Exit status: 0 done, 1 a window did not appear, 2 bad arguments, 3 no X11 keyboard here.

#include "display.h"
#include "keys/keyplatform.h"
#include "keys/sendkeys.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>
#include <QThread>

#include <cctype>

#ifdef TALLIC_HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

#ifdef TALLIC_HAVE_XTEST
// A shown window under parent (or below it, where a window manager frames its clients) that
// matches, the topmost first.
template<typename Matches>
Window findShown(Display *display, Window parent, int depth, const Matches &matches)
{
    Window root = 0, ignored = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &ignored, &children, &count))
        return 0;
    Window found = 0;
    // The topmost window comes last.
    for (unsigned i = count; i-- > 0 && !found;) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes)
            || attributes.map_state != IsViewable)
            continue;
        if (matches(children[i]))
            found = children[i];
        else if (depth > 0)
            found = findShown(display, children[i], depth - 1, matches);
    }
    if (children)
        XFree(children);
    return found;
}

// A shown window whose title begins with prefix.
Window findWindow(Display *display, const QByteArray &prefix)
{
    return findShown(display, DefaultRootWindow(display), 2, [&](Window window) {
        char *name = nullptr;
        if (!XFetchName(display, window, &name) || !name)
            return false;
        const bool titled = QByteArray(name).startsWith(prefix);
        XFree(name);
        return titled;
    });
}

// A shown window that is transient for owner: its box.
Window transientFor(Display *display, Window owner)
{
    return findShown(display, DefaultRootWindow(display), 2, [&](Window window) {
        Window of = 0;
        return XGetTransientForHint(display, window, &of) && of == owner;
    });
}

// Qt's own connection to the X server, which the keys go through as well.
Display *qtDisplay()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}
#endif

// Waits for the window and gives it the keyboard focus.
bool focusWindow(const QString &title)
{
#ifdef TALLIC_HAVE_XTEST
    Display *display = qtDisplay();
    if (!display)
        return false;
    const QByteArray prefix = title.toUtf8();
    QDeadlineTimer deadline(30000);
    Window window = 0;
    while (!(window = findWindow(display, prefix)) && !deadline.hasExpired())
        QThread::msleep(100);
    if (window) {
        XRaiseWindow(display, window);
        // A box the window shows stays above it, and has the keys, as the window lets it.
        for (Window box = 0; (box = transientFor(display, window)); window = box)
            XRaiseWindow(display, box);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
        QThread::msleep(200);
    }
    return window != 0;
#else
    Q_UNUSED(title);
    return false;
#endif
}

// A click of the left button at a point of the screen, as the operator's mouse makes it.
bool click(const QPoint &at)
{
#ifdef TALLIC_HAVE_XTEST
    Display *display = qtDisplay();
    if (!display)
        return false;
    XTestFakeMotionEvent(display, -1, at.x(), at.y(), CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, 50);
    XSync(display, False);
    return true;
#else
    Q_UNUSED(at);
    return false;
#endif
}

// The keyboard of the machine, typing no faster than an operator: a field's handlers run
// between two keys, as they do at the office.
class PacedKeys : public tallic::KeyPlatform
{
public:
    explicit PacedKeys(tallic::KeyPlatform &keys)
        : keys_(keys)
    {
    }

    int paceMs = 40;

    QString OsFamily() override { return keys_.OsFamily(); }
    bool LockIsOn(int virtualKey) override { return keys_.LockIsOn(virtualKey); }
    void PressKey(const QString &token) override { keys_.PressKey(token); }
    void ReleaseKey(const QString &token) override
    {
        keys_.ReleaseKey(token);
        if (token != u"SHIFT"_s && token != u"CONTROL"_s && token != u"ALT"_s)
            QThread::msleep(paceMs);
    }
    void ToggleNumLock() override { keys_.ToggleNumLock(); }
    void PauseMs(qint16 ms) override { keys_.PauseMs(ms); }

private:
    tallic::KeyPlatform &keys_;
};

} // namespace

const char Usage[]
    = "usage: tallic-keys [--window TITLE] [--pause MS] [--pace MS] [--click X,Y] "
      "[--shot FILE.png] [KEYSTRING...]\n\n"
      "Types key strings at an X display as an operator would, in the notation Tallic sends "
      "(\"4100~\" is 4100 and Enter, \"%p\" is Alt+P), each argument in turn:\n"
      "  --window TITLE  wait up to 30 s for a shown window whose title begins with TITLE and "
      "give it the keys (or the box it shows)\n"
      "  --pause MS      the time left after each key string that follows (250)\n"
      "  --pace MS       the time between two keys (40)\n"
      "  --click X,Y     click the left mouse button at the screen's point X,Y\n"
      "  --shot FILE     save the screen as a PNG file\n"
      "Exit status: 0 done, 1 a window did not appear, 2 bad arguments, 3 no X display.\n";

// Before anything is typed: the usage when asked for (0), or arguments (2) or the lack of a
// display (3) refused; -1 to go on.
int helpOrRefusal(int argc, char *argv[])
{
    const QList<QByteArray> valued { "--window", "--pause", "--pace", "--shot", "--click" };
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--help" || argument == "-h") {
            QTextStream(stdout) << Usage;
            return 0;
        }
        if (valued.contains(argument) && ++i >= argc) {
            QTextStream(stderr) << "tallic-keys: " << argument << " needs a value\n";
            return 2;
        }
        // An option mistyped is never typed at the window.
        if (!valued.contains(argument) && argument.startsWith("--") && argument.size() > 2
            && std::isalpha(argument[2])) {
            QTextStream(stderr) << "tallic-keys: unknown option " << argument << '\n' << Usage;
            return 2;
        }
    }
    if (const QString problem = tallic::tools::displayProblem(); !problem.isEmpty()) {
        QTextStream(stderr) << "tallic-keys: " << problem << '\n';
        return 3;
    }
    return -1;
}

int main(int argc, char *argv[])
{
    QTextStream err(stderr);
    if (const int status = helpOrRefusal(argc, argv); status >= 0)
        return status;
    QGuiApplication app(argc, argv);
    if (QGuiApplication::platformName() != u"xcb"_s) {
        err << "tallic-keys: needs an X11 display (DISPLAY)\n";
        return 3;
    }
    const QStringList arguments = app.arguments().mid(1);
    PacedKeys keys(tallic::keyPlatform());
    tallic::setKeyPlatform(&keys);
    int pauseMs = 250;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--window"_s) {
            const QString title = arguments.at(++i);
            if (!focusWindow(title)) {
                err << "tallic-keys: no window titled \"" << title << "...\" appeared\n";
                return 1;
            }
        } else if (argument == u"--pause"_s || argument == u"--pace"_s) {
            bool ok = false;
            const int ms = arguments.at(++i).toInt(&ok);
            if (!ok || ms < 0) {
                err << "tallic-keys: " << argument << " takes milliseconds\n";
                return 2;
            }
            (argument == u"--pause"_s ? pauseMs : keys.paceMs) = ms;
        } else if (argument == u"--click"_s) {
            const QStringList xy = arguments.at(++i).split(u',');
            bool okX = false, okY = false;
            const QPoint at(xy.value(0).toInt(&okX), xy.value(1).toInt(&okY));
            if (xy.size() != 2 || !okX || !okY || !click(at)) {
                err << "tallic-keys: --click takes X,Y on an X11 screen\n";
                return 2;
            }
            QThread::msleep(pauseMs);
        } else if (argument == u"--shot"_s) {
            const QString file = arguments.at(++i);
            if (!QGuiApplication::primaryScreen()->grabWindow(0).save(file)) {
                err << "tallic-keys: cannot save " << file << '\n';
                return 2;
            }
        } else {
            tallic::SendKeyString(argument);
            QDeadlineTimer wait(pauseMs);
            while (!wait.hasExpired()) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
                QThread::msleep(10);
            }
        }
    }
    return 0;
}
