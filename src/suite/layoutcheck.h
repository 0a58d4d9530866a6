#pragma once

namespace tallic {

// The start-up's check on the working folder: false when a newer layout is refused or an
// upgrade failed, each told in a box; the program then ends.
bool CheckLayout();

} // namespace tallic
