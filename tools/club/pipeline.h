#pragma once

#include "clubdb.h"

#include <QString>

#include <functional>

namespace tallic::club {

// Reads the rows of a server's table in a thread of its own, on a connection of its own
// that sees the moment the snapshot names (one exported by the transaction that reads the
// rest), and hands them to the sink in this thread: the driver's reading of one batch goes
// on while the sink writes the one before.
Result<void>
readServerRowsAside(const DataSource &source, const QString &snapshot,
                    const std::function<Result<void>(ClubDb &db, const RowSink &sink)> &read,
                    const RowSink &sink);

} // namespace tallic::club
