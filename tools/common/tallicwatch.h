#pragma once

namespace tallic::tools {

// Ends the companion once the Tallic that started it has ended (Tallic leaves its process
// id in the environment it hands on as TALLIC_PID): an answer left for a program that is
// gone would be taken by the next one, and its window would wait for nobody.
void endWithTallic();

} // namespace tallic::tools
