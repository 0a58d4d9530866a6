#include "sendkeys.h"

#include "platform/form.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

void deliver(int key, const QString &text)
{
    QWidget *target = QApplication::focusWidget();
    if (!target) {
        if (Form *form = Form::activeForm())
            target = form->activeControl().widget();
    }
    if (!target)
        return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
}

} // namespace

void SendKeyString(const QString &keys, int)
{
    // Only the two keys the windows send for now: Tab to move on, Enter to press.
    const QString upper = keys.toUpper();
    const int key
        = upper == u"{TAB}"_s ? Qt::Key_Tab : (upper == u"{ENTER}"_s ? Qt::Key_Return : 0);
    if (key == 0)
        return;
    const QString text = key == Qt::Key_Tab ? u"\t"_s : u"\r"_s;
    // Queued, so that the key reaches the control that has the focus when it is taken.
    QTimer::singleShot(0, qApp, [key, text] { deliver(key, text); });
}

} // namespace tallic
