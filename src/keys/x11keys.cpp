#ifdef TALLIC_HAVE_XTEST

#include "x11keys.h"

#include "codepages.h"
#include "platform/runtime.h"
#include "sendkeys.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <bit>
#include <climits>
#include <optional>

using namespace Qt::Literals::StringLiterals;

// After every Qt header: Xlib's macros (KeyPress, None, Bool...) would clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace tallic {

namespace {

// The keysym of a key of the key table; NoSymbol for the print key of old keyboards, which
// X11 does not know apart from Print Screen.
KeySym keysymForVirtualKey(int code)
{
    if (code >= 96 && code <= 105)
        return XK_KP_0 + KeySym(code - 96);
    if (code >= 112 && code <= 127)
        return XK_F1 + KeySym(code - 112);
    switch (code) {
    case 8:
        return XK_BackSpace;
    case 9:
        return XK_Tab;
    case 13:
        return XK_Return;
    case 19:
        return XK_Pause;
    case 20:
        return XK_Caps_Lock;
    case 27:
        return XK_Escape;
    case 33:
        return XK_Prior;
    case 34:
        return XK_Next;
    case 35:
        return XK_End;
    case 36:
        return XK_Home;
    case 37:
        return XK_Left;
    case 38:
        return XK_Up;
    case 39:
        return XK_Right;
    case 40:
        return XK_Down;
    case 44:
        return XK_Print;
    case 45:
        return XK_Insert;
    case 46:
        return XK_Delete;
    case 47:
        return XK_Help;
    case 144:
        return XK_Num_Lock;
    case 145:
        return XK_Scroll_Lock;
    default:
        return NoSymbol;
    }
}

KeySym keysymForCharacter(QChar c)
{
    const char16_t u = c.unicode();
    switch (u) {
    case u'\t':
        return XK_Tab;
    case u'\r':
    case u'\n':
        return XK_Return;
    case u'\b':
        return XK_BackSpace;
    case 0x1b:
        return XK_Escape;
    default:
        break;
    }
    if ((u >= 0x20 && u <= 0x7e) || (u >= 0xa0 && u <= 0xff))
        return u; // Latin-1 keysyms are the character codes
    if (u < 0xa0 || c.isSurrogate())
        return NoSymbol;
    return 0x01000000 | u;
}

// A key of the layout and the modifiers that give the wanted keysym on it.
struct KeyChoice
{
    KeyCode code = 0;
    bool shift = false;
    bool level3 = false;
};

// The modifiers that select a shift level of a key type: only Shift and the AltGr
// modifier count, a level that needs others (Num Lock, Ctrl) is out of reach. -1 for none.
int levelModifiers(const XkbKeyTypeRec *type, int level, unsigned level3Mask)
{
    if (level == 0)
        return 0;
    const unsigned usable = ShiftMask | level3Mask;
    int best = -1;
    for (int i = 0; i < type->map_count; ++i) {
        const XkbKTMapEntryRec &entry = type->map[i];
        if (!entry.active || entry.level != level || (entry.mods.mask & ~usable)
            || !entry.mods.mask)
            continue;
        if (best < 0 || std::popcount(unsigned(entry.mods.mask)) < std::popcount(unsigned(best)))
            best = entry.mods.mask;
    }
    return best;
}

// Finds the keysym in the keyboard's current group, on the key that needs the fewest
// modifiers. A named key is pressed as it is (withModifiers false): any level will do.
std::optional<KeyChoice> findKey(Display *display, KeySym sym, bool withModifiers)
{
    if (sym == NoSymbol)
        return std::nullopt;
    XkbStateRec state {};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
        return std::nullopt;
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb)
        return std::nullopt;
    const unsigned level3Mask = XkbKeysymToModifiers(display, XK_ISO_Level3_Shift);
    std::optional<KeyChoice> best;
    int bestCost = INT_MAX;
    for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
        const int groups = XkbKeyNumGroups(xkb, code);
        if (groups == 0)
            continue;
        const int group = state.group % groups;
        const int width = XkbKeyGroupWidth(xkb, code, group);
        for (int level = 0; level < width; ++level) {
            if (XkbKeySymEntry(xkb, code, level, group) != sym)
                continue;
            int mods = 0;
            if (withModifiers) {
                mods = levelModifiers(XkbKeyKeyType(xkb, code, group), level, level3Mask);
                if (mods < 0)
                    continue;
            }
            const int cost = withModifiers ? std::popcount(unsigned(mods)) : level;
            if (cost < bestCost) {
                bestCost = cost;
                best = KeyChoice { KeyCode(code), (mods & ShiftMask) != 0,
                                   level3Mask && (unsigned(mods) & level3Mask) };
            }
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
    return best;
}

void fakeKey(Display *display, KeySym sym, bool press)
{
    if (const KeyCode code = XKeysymToKeycode(display, sym))
        XTestFakeKeyEvent(display, code, press ? True : False, CurrentTime);
}

} // namespace

std::unique_ptr<X11Keys> X11Keys::create(_XDisplay *display)
{
    int event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor)
        || !XkbQueryExtension(display, nullptr, &event, &error, &major, &minor))
        return nullptr;
    return std::unique_ptr<X11Keys>(new X11Keys(display));
}

X11Keys::X11Keys(_XDisplay *display)
    : display_(display)
{
}

unsigned char X11Keys::borrowKey(unsigned long sym)
{
    if (sym == NoSymbol)
        return 0;
    int first = 0, last = 0, width = 0;
    XDisplayKeycodes(display_, &first, &last);
    KeySym *map = XGetKeyboardMapping(display_, KeyCode(first), last - first + 1, &width);
    if (!map)
        return 0;
    KeyCode spare = 0;
    // From the top down: the codes that no keyboard has are there.
    for (int code = last; code >= first && !spare; --code) {
        const KeySym *syms = map + std::ptrdiff_t(code - first) * width;
        if (std::all_of(syms, syms + width, [](KeySym s) { return s == NoSymbol; }))
            spare = KeyCode(code);
    }
    XFree(map);
    if (!spare)
        return 0;
    // The same symbol with and without Shift: the key needs no modifier to type it.
    KeySym syms[2] = { sym, sym };
    XChangeKeyboardMapping(display_, spare, 2, syms, 1);
    XSync(display_, False);
    return spare;
}

QString X11Keys::OsFamily()
{
    return u"NT"_s;
}

bool X11Keys::LockIsOn(int virtualKey)
{
    if (virtualKey != CapsLockKey && virtualKey != NumLockKey && virtualKey != ScrollLockKey)
        return false;
    const KeySym sym = keysymForVirtualKey(virtualKey);
    XkbStateRec state {};
    if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success)
        return false;
    // The modifier the layout locks with that key; a lock without one (Scroll Lock, as a
    // rule) shows only in its indicator, found by name.
    if (const unsigned mask = XkbKeysymToModifiers(display_, sym))
        return (state.locked_mods & mask) != 0;
    const char *indicator = virtualKey == CapsLockKey ? "Caps Lock"
        : virtualKey == NumLockKey                    ? "Num Lock"
                                                      : "Scroll Lock";
    Bool on = False;
    if (!XkbGetNamedIndicator(display_, XInternAtom(display_, indicator, False), nullptr, &on,
                              nullptr, nullptr))
        return false;
    return on;
}

void X11Keys::awaitInputFocus()
{
    // A window that has just been opened gets the input focus only once the window manager
    // has acted on it, and a window just closed may still count as focused until the X
    // server's word comes back; keys injected meanwhile would reach another program. The
    // wait is short: a program that stays in the background gets the keys as they are.
    const auto focused = [] {
        const QWindow *window = QGuiApplication::focusWindow();
        return window && window->isVisible();
    };
    if (focused())
        return;
    const QWindowList windows = QGuiApplication::topLevelWindows();
    if (std::none_of(windows.begin(), windows.end(), [](QWindow *w) { return w->isVisible(); }))
        return;
    const QDeadlineTimer deadline(1000);
    while (!focused() && !deadline.hasExpired() && !programEnding()) {
        DoEvents();
        QThread::msleep(2);
    }
}

void X11Keys::PressKey(const QString &token)
{
    awaitInputFocus();
    keyTransition(token, true);
    XFlush(display_);
}

void X11Keys::ReleaseKey(const QString &token)
{
    awaitInputFocus();
    keyTransition(token, false);
    XFlush(display_);
}

void X11Keys::ToggleNumLock()
{
    PressKey(u"NUMLOCK"_s);
    ReleaseKey(u"NUMLOCK"_s);
}

void X11Keys::PauseMs(qint16 ms)
{
    pauseWithTicks(ms, systemTickCount);
}

void X11Keys::injectAltIfHeld()
{
    if (altHeld_ && !altInjected_) {
        fakeKey(display_, XK_Alt_L, true);
        altInjected_ = true;
    }
    keypadCode_.clear();
}

void X11Keys::keyTransition(const QString &token, bool press)
{
    if (token == u"ALT"_s) {
        if (press) {
            if (altHeld_)
                injectAltIfHeld();
            altHeld_ = true;
            return;
        }
        if (!altInjected_ && keypadCode_.isEmpty())
            fakeKey(display_, XK_Alt_L, true);
        if (altInjected_ || keypadCode_.isEmpty())
            fakeKey(display_, XK_Alt_L, false);
        if (!keypadCode_.isEmpty()) {
            const int code = keypadCode_.toInt() % 256;
            const QChar c
                = keypadCode_.startsWith(u'0') ? fromWesternCode(code) : fromOemCode(code);
            typeCharacter(c, true);
            typeCharacter(c, false);
        }
        altHeld_ = altInjected_ = false;
        keypadCode_.clear();
        return;
    }

    const int code = KeyCodeFromName(token);
    if (code >= 96 && code <= 105 && altHeld_ && LockIsOn(NumLockKey)) {
        // A digit of an Alt+code: typed as the character once Alt goes up.
        if (press)
            keypadCode_ += QChar(u'0' + (code - 96));
        return;
    }
    injectAltIfHeld();

    if (token == u"SHIFT"_s || token == u"CONTROL"_s) {
        fakeKey(display_, token == u"SHIFT"_s ? XK_Shift_L : XK_Control_L, press);
    } else if (code > 0) {
        if (const auto key = findKey(display_, keysymForVirtualKey(code), false))
            XTestFakeKeyEvent(display_, key->code, press ? True : False, CurrentTime);
    } else if (!token.isEmpty()) {
        typeCharacter(token.at(0), press);
    }
}

void X11Keys::typeCharacter(QChar c, bool press)
{
    const KeySym sym = keysymForCharacter(c);
    auto key = findKey(display_, sym, true);
    // A letter the layout lacks is typed all the same, as on a keyboard that has it.
    if (!key && press) {
        if (const KeyCode spare = borrowKey(sym))
            key = KeyChoice { spare, false, false };
    }
    if (!key)
        return; // no key is left to put it on
    // As the key's own modifiers go down before it, they also go up before it.
    if (key->shift)
        fakeKey(display_, XK_Shift_L, press);
    if (key->level3)
        fakeKey(display_, XK_ISO_Level3_Shift, press);
    XTestFakeKeyEvent(display_, key->code, press ? True : False, CurrentTime);
}

} // namespace tallic

#endif // TALLIC_HAVE_XTEST
