#pragma once

#include "platform/form.h"

namespace tallic {

// The small window shown while the entry window loads.
class Frmsplash : public Form
{
    Q_OBJECT

public:
    Frmsplash();

private slots:
    void Form_Load();
    void Form_Activate();
};

} // namespace tallic
