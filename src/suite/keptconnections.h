#pragma once

namespace tallic {

// Lets go of the kept connections whose files are no longer on disk: a file put back
// later is opened afresh.
void dropConnectionsOfMissingFiles();

} // namespace tallic
