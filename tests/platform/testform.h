#pragma once

#include "platform/form.h"
#include "platform/runtime.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStringList>

#include <functional>

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
    }

    tallic::Control Text1(int i) const { return control(QStringLiteral("Text1"), i); }

    QStringList log;
    bool logChanges = false;
    // What happens while cmdone's command runs.
    std::function<void()> during;

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
        else if (KeyAscii == 13)
            QCoreApplication::postEvent(
                QApplication::focusWidget(),
                new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
    }

    void Text1_Change(int Index)
    {
        if (logChanges)
            log << QStringLiteral("Change %1").arg(Index);
    }

    void cmdone_Click()
    {
        log << QStringLiteral("Click cmdone");
        if (during)
            during();
    }
    void cmdtwo_Click() { log << QStringLiteral("Click cmdtwo"); }
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
