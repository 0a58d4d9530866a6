#include "sendkeys.h"

#include "basic/numbers.h"
#include "codepages.h"
#include "keyplatform.h"

#include <QStringList>

#include <array>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

struct NamedKey
{
    const char16_t *name;
    qint16 code;
};

constexpr NamedKey KeyNames[] = {
    { u"BACKSPACE", 8 }, { u"BS", 8 },      { u"BKSP", 8 },         { u"BREAK", 19 },
    { u"CAPSLOCK", 20 }, { u"DELETE", 46 }, { u"DEL", 46 },         { u"DOWN", 40 },
    { u"END", 35 },      { u"ENTER", 13 },  { u"ESC", 27 },         { u"HELP", 47 },
    { u"HOME", 36 },     { u"INS", 45 },    { u"INSERT", 45 },      { u"LEFT", 37 },
    { u"NUMLOCK", 144 }, { u"PGDN", 34 },   { u"PGUP", 33 },        { u"PRTSC", 42 },
    { u"PRTSCR", 44 },   { u"RIGHT", 39 },  { u"SCROLLLOCK", 145 }, { u"TAB", 9 },
    { u"UP", 38 },
};

// One lock's bookkeeping for a call: its state on entry, and whether the string itself
// has pressed its key an odd number of times.
struct Lock
{
    int key;
    char16_t keepDigit; // in the decimal text of `wait`: leave this lock as the string left it
    bool onAtEntry = false;
    bool toggled = false;
};

class KeyStringTyper
{
public:
    explicit KeyStringTyper(KeyPlatform &keys)
        : keys_(keys)
    {
    }

    void type(const QString &text, qint16 wait)
    {
        for (Lock &lock : locks_) {
            lock.onAtEntry = keys_.LockIsOn(lock.key);
            if (lock.onAtEntry)
                flipLock(lock.key);
        }
        readString(EncodeExtendedChars(text));
        releaseModifiers();
        const QString waitText = QString::number(wait);
        for (const Lock &lock : locks_) {
            if (!waitText.contains(QChar(lock.keepDigit)) && lock.toggled != lock.onAtEntry)
                flipLock(lock.key);
        }
        if (wait != 0)
            keys_.PauseMs(20);
    }

private:
    void flipLock(int key)
    {
        if (key == NumLockKey) {
            keys_.ToggleNumLock();
            return;
        }
        const QString name = key == CapsLockKey ? u"CAPSLOCK"_s : u"SCROLLLOCK"_s;
        keys_.PressKey(name);
        keys_.ReleaseKey(name);
    }

    void tap(const QString &token)
    {
        keys_.PressKey(token);
        keys_.ReleaseKey(token);
    }

    void releaseModifiers()
    {
        while (!modifiers_.isEmpty())
            keys_.ReleaseKey(modifiers_.takeLast());
    }

    // Reads the string from the start to its end, or to a point where reading stops (an
    // unclosed brace, a zero or unreadable repeat count).
    void readString(QStringView s)
    {
        while (!s.isEmpty()) {
            const QChar c = s.front();
            s = s.mid(1);
            switch (c.unicode()) {
            case u'+':
            case u'^':
            case u'%': {
                const QString modifier
                    = c == u'+' ? u"SHIFT"_s : (c == u'^' ? u"CONTROL"_s : u"ALT"_s);
                modifiers_.append(modifier);
                keys_.PressKey(modifier);
                continue;
            }
            case u'(':
                group_ = true;
                continue;
            case u')':
                group_ = false;
                releaseModifiers();
                continue;
            case u'~':
                tap(u"ENTER"_s);
                break;
            case u'{':
                if (!readBracedKey(s))
                    return;
                break;
            default:
                tap(QString(c));
                break;
            }
            if (!group_)
                releaseModifiers();
        }
    }

    // s holds the text after "{"; false when reading stops here.
    bool readBracedKey(QStringView &s)
    {
        // The last "}" before the next "{" closes, so that "{}}" names "}" and "{{}" names "{".
        qsizetype close = -1;
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (s.at(i) == u'}')
                close = i;
            else if (s.at(i) == u'{' && close >= 0)
                break;
        }
        if (close < 0)
            return false;
        QString name = s.left(close).toString();
        s = s.mid(close + 1);

        qint32 count = 1;
        const qsizetype blank = name.indexOf(u' ');
        if (blank >= 0) {
            count = toLong(Val(name.mid(blank + 1)));
            name.truncate(blank);
            if (count == 0)
                return false;
        }

        const qint16 code = KeyCodeFromName(name);
        if (code > 0) {
            for (qint32 i = 0; i < count; ++i) {
                if (code == NumLockKey)
                    keys_.ToggleNumLock();
                else
                    tap(name);
                for (Lock &lock : locks_) {
                    if (code == lock.key)
                        lock.toggled = !lock.toggled;
                }
            }
        } else {
            for (qint32 i = 0; i < count; ++i) {
                for (const QChar c : std::as_const(name))
                    tap(QString(c));
            }
        }
        return true;
    }

    KeyPlatform &keys_;
    QStringList modifiers_;
    bool group_ = false;
    std::array<Lock, 3> locks_ {
        { { CapsLockKey, u'2' }, { NumLockKey, u'3' }, { ScrollLockKey, u'4' } }
    };
};

} // namespace

qint16 KeyCodeFromName(const QString &name)
{
    const QString upper = name.toUpper();
    if (upper.startsWith(u'F')) {
        const int n = QStringView(upper).mid(1).toInt();
        if (n >= 1 && n <= 16 && upper == u"F%1"_s.arg(n))
            return qint16(111 + n);
    }
    if (upper.size() == 7 && upper.startsWith(u"NUMPAD"_s) && upper.at(6).isDigit()
        && upper.at(6).unicode() < 128)
        return qint16(96 + upper.at(6).digitValue());
    for (const NamedKey &key : KeyNames) {
        if (key.code > 0 && upper == QStringView(key.name))
            return key.code;
    }
    return 0;
}

QString EncodeExtendedChars(const QString &text)
{
    QString encoded;
    encoded.reserve(text.size());
    for (const QChar c : text) {
        if (westernCode(c) < 128) {
            encoded += c;
            continue;
        }
        // A character the OEM code page lacks comes out as "?", as code-page conversion
        // gives it.
        const int oem = oemCode(c);
        encoded += u"{NUMLOCK}%("_s;
        for (const QChar digit : QString::number(oem >= 0 ? oem : int(u'?')))
            encoded += u"{NUMPAD"_s + digit + u'}';
        encoded += u"){NUMLOCK}"_s;
    }
    return encoded;
}

void SendKeyString(const QString &text, qint16 wait)
{
    KeyPlatform &keys = keyPlatform();
    if (keys.OsFamily() == u"9x"_s && keys.sendKeysNatively(text, wait))
        return;
    KeyStringTyper(keys).type(text, wait);
}

} // namespace tallic
