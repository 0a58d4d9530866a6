#pragma once

#include <QString>

namespace tallic {

// Types a key string into whatever has the keyboard focus when the keys are taken from
// the queue, as if the operator had typed them: "{TAB}" moves on, "{ENTER}" presses.
void SendKeyString(const QString &keys, int wait = 0);

} // namespace tallic
