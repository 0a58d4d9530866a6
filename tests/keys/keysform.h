#pragma once

#include "keys/sendkeys.h"
#include "platform/form.h"
#include "platform/runtime.h"

#include <QStringList>

// Three fields and a button, whose fields move on with Enter by sending a Tab, as the entry
// window's fields do.
class KeysForm : public tallic::Form
{
    Q_OBJECT

public:
    KeysForm()
        : Form(QStringLiteral("keysform"), QSize(300, 200))
    {
        for (int i = 1; i <= 3; ++i)
            addTextBox(QStringLiteral("Text1"), i, QRect(10, 10 + 40 * (i - 1), 150, 30));
        addButton(QStringLiteral("cmdok"), -1, QRect(180, 10, 100, 30), QStringLiteral("OK"));
    }

    tallic::Control Text1(int i) const { return control(QStringLiteral("Text1"), i); }
    QString text(int i) const { return Text1(i).text(); }

    QStringList log;

private slots:
    void Text1_KeyDown(int Index, int &KeyCode, int Shift)
    {
        log << QStringLiteral("KeyDown %1 %2 %3").arg(Index).arg(KeyCode).arg(Shift);
    }

    void Text1_KeyPress(int, int &KeyAscii)
    {
        if (KeyAscii == 13) {
            KeyAscii = 0;
            tallic::SendKeyString(QStringLiteral("{TAB}"));
        }
        tallic::DoEvents();
    }

    void cmdok_Click() { log << QStringLiteral("Click cmdok"); }
};
