#pragma once

#include "platform/form.h"

namespace tallic {

// The chit entry window.
class Arinput : public Form
{
    Q_OBJECT

public:
    Arinput();

    Control Text1(int index) const { return control(QStringLiteral("Text1"), index); }
    Control Label1(int index) const { return control(QStringLiteral("Label1"), index); }

private:
    void buildScreen();
};

} // namespace tallic
