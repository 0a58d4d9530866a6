#pragma once

#include "platform/form.h"

namespace tallic {

// The chit entry window: ten chit fields keyed one after the other, the previous chit,
// the batch's count and control total, and the mode commands.
class Arinput : public Form
{
    Q_OBJECT

public:
    Arinput();

    Control Text1(int index) const { return control(QStringLiteral("Text1"), index); }
    Control Label1(int index) const { return control(QStringLiteral("Label1"), index); }
    Control txtprev(int index) const { return control(QStringLiteral("txtprev"), index); }
    Control ctl(const QString &name, int index = -1) const { return control(name, index); }

    // Reads the command line and the suite's configuration; refuses a start that the
    // launch code or the access level does not allow (the program then ends).
    void LoadSettings();

private slots:
    void Form_Initialize();
    void Form_Load();
    void Form_Activate();
    void Form_Unload(int &Cancel);

private:
    bool startFailed();
    void buildScreen();
    void buildFields();
    void buildPreviousChit();
    void buildCommands();
    void buildMenus();
};

} // namespace tallic
