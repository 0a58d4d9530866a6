#pragma once

#include "clubdb.h"

#include <QString>

#include <functional>

namespace tallic::club {

// Reads the rows of a server's table in a thread of its own, on a connection of its own
// that sees the moment the snapshot names (one exported by the transaction that reads the
// rest), and hands them to the sink in this thread: the driver's reading of one batch goes
// on while the sink writes the one before.
bool readServerRowsAside(
    const DataSource &source, const QString &snapshot,
    const std::function<bool(ClubDb &db, const RowSink &sink, QString &problem)> &read,
    const RowSink &sink, QString &problem);

} // namespace tallic::club
