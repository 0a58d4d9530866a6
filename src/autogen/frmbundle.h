#pragma once

#include "platform/form.h"

namespace tallic {

// The AutoGenerate Chits window: a bundle of charge items applied to a list of members.
// It stands beside the entry window, which stays usable while it is open.
class Frmbundle : public Form
{
    Q_OBJECT

public:
    Frmbundle();

private slots:
    void Form_Load();
};

// Lets the entry window's AutoGenerate command open this window.
void installAutoGenerate();

} // namespace tallic
