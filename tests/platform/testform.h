#pragma once

#include "platform/form.h"
#include "platform/runtime.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStringList>
#include <QTest>
#include <QTimer>

// A small window of ten fields and two buttons whose handlers log what they see and
// behave as the entry window's do: Enter types a Tab, a refused field takes the focus back.
class TestForm : public tallic::Form
{
    Q_OBJECT

public:
    TestForm()
        : Form(QStringLiteral("testform"), QSize(400, 500))
    {
        for (int i = 1; i <= 10; ++i)
            addTextBox(QStringLiteral("Text1"), i, QRect(100, 10 + 40 * (i - 1), 120, 30));
        addButton(QStringLiteral("cmdone"), -1, QRect(250, 10, 100, 30), QStringLiteral("&One"));
        addButton(QStringLiteral("cmdtwo"), -1, QRect(250, 50, 100, 30), QStringLiteral("T&wo"));
        addLabel(QStringLiteral("lblnote"), -1, QRect(250, 90, 100, 30), QStringLiteral("Note"));
    }

    tallic::Control Text1(int i) const { return control(QStringLiteral("Text1"), i); }

    QStringList log;
    bool logChanges = false;
    bool typeDuringCommand = false;
    bool askDuringCommand = false;

private slots:
    void Form_Load() { log << QStringLiteral("Load"); }
    void Form_Activate() { log << QStringLiteral("Activate"); }

    void Text1_GotFocus(int Index) { log << QStringLiteral("Got %1").arg(Index); }

    void Text1_LostFocus(int Index)
    {
        log << QStringLiteral("Lost %1").arg(Index);
        const QString text = Text1(Index).text();
        if (text == QStringLiteral("back")) {
            Text1(Index).setFocus();
        } else if (text == QStringLiteral("msg")) {
            tallic::MsgBox(QStringLiteral("Refused"), tallic::BoxButtons::Ok,
                           tallic::BoxIcon::Information, QStringLiteral("Test"));
            Text1(Index).setFocus();
        } else if (text == QStringLiteral("elsewhere")) {
            Text1(7).setFocus();
        } else if (text == QStringLiteral("end")) {
            tallic::endProgram();
        }
    }

    void Text1_KeyDown(int Index, int &KeyCode, int Shift)
    {
        log << QStringLiteral("KeyDown %1 %2 %3").arg(Index).arg(KeyCode).arg(Shift);
        if (KeyCode == 116)
            KeyCode = 0;
    }

    void Text1_KeyPress(int Index, int &KeyAscii)
    {
        log << QStringLiteral("KeyPress %1 %2").arg(Index).arg(KeyAscii);
        if (KeyAscii == '*')
            KeyAscii = 0;
        else if (KeyAscii == 'q')
            KeyAscii = 'Q';
        else if (KeyAscii == '#') {
            // A key that the window system delivers while this one is handled.
            QCoreApplication::postEvent(
                QApplication::focusWidget(),
                new QKeyEvent(QEvent::KeyPress, Qt::Key_9, Qt::NoModifier, QStringLiteral("9")));
            tallic::DoEvents();
        } else if (KeyAscii == 13)
            QCoreApplication::postEvent(
                QApplication::focusWidget(),
                new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
    }

    void Text1_Change(int Index)
    {
        if (logChanges)
            log << QStringLiteral("Change %1").arg(Index);
    }

    void Text1_MouseDown(int Index, int, int, double, double)
    {
        log << QStringLiteral("MouseDown %1").arg(Index);
    }

    void Text1_Click(int Index) { log << QStringLiteral("Click %1").arg(Index); }
    void cmdone_Click() { log << QStringLiteral("Click cmdone"); }
    void cmdtwo_Click()
    {
        log << QStringLiteral("Click cmdtwo");
        if (askDuringCommand) {
            // "y" is typed before the command's question appears: the question takes it.
            QCoreApplication::postEvent(
                Text1(1).widget(),
                new QKeyEvent(QEvent::KeyPress, Qt::Key_Y, Qt::NoModifier, QStringLiteral("y")));
            QCoreApplication::postEvent(
                Text1(1).widget(),
                new QKeyEvent(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, QStringLiteral("7")));
            tallic::DoEvents();
            QMessageBox box(QMessageBox::Question, QStringLiteral("Question"),
                            QStringLiteral("Yes?"), QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::No);
            QTimer::singleShot(3000, &box, [&box] { box.done(-1); });
            const int answer = box.exec();
            log << (answer == QMessageBox::Yes ? QStringLiteral("Answer yes")
                                               : QStringLiteral("Answer %1").arg(answer));
            Text1(1).setFocus();
        }
        if (!typeDuringCommand)
            return;
        // A command that gives the focus back to a field and lets events run while the
        // operator types on.
        Text1(1).setFocus();
        QCoreApplication::postEvent(
            Text1(1).widget(),
            new QKeyEvent(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5")));
        // Alt+O, the access key of cmdone, as the window system hands it to the shortcuts.
        QWidget *field = Text1(1).widget();
        QMetaObject::invokeMethod(
            field, [field] { qt_sendShortcutOverrideEvent(field, 0, Qt::Key_O, Qt::AltModifier); },
            Qt::QueuedConnection);
        tallic::DoEvents();
        log << QStringLiteral("Text1(1) during the command: ") + Text1(1).text();
    }
    void lblnote_Click() { log << QStringLiteral("Click lblnote"); }
};

// A window whose handlers would never run: the wiring check must name them.
class MiswiredForm : public tallic::Form
{
    Q_OBJECT

public:
    MiswiredForm()
        : Form(QStringLiteral("miswired"), QSize(200, 100))
    {
        addTextBox(QStringLiteral("Text1"), 1, QRect(10, 10, 100, 30));
        addButton(QStringLiteral("cmdgo"), -1, QRect(10, 50, 100, 30), QStringLiteral("Go"));
    }

private slots:
    void Text1_KeyPress(int &KeyAscii) { KeyAscii = 0; }
    void cmdgo_Click() { }
    void Form_Unload() { }
    void cmdgone_Click() { }
};
