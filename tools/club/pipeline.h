#pragma once

#include "clubdb.h"

#include <QString>

#include <functional>

namespace tallic::club {

// Reads the rows of a server's table in a thread of its own, on a connection of its own
// that sees the moment the snapshot names (one exported by the transaction that reads the
// rest), and hands them to the sink in this thread: the reading of one batch goes on while
// the sink writes the one before. Batch is Rows or PlainRows.
template<typename Batch>
Result<void> readServerRowsAside(
    const DataSource &source, const QString &snapshot,
    const std::function<Result<void>(ClubDb &db,
                                     const std::function<Result<void>(const Batch &)> &sink)> &read,
    const std::function<Result<void>(const Batch &)> &sink);

extern template Result<void> readServerRowsAside<Rows>(
    const DataSource &, const QString &,
    const std::function<Result<void>(ClubDb &, const std::function<Result<void>(const Rows &)> &)>
        &,
    const std::function<Result<void>(const Rows &)> &);
extern template Result<void> readServerRowsAside<PlainRows>(
    const DataSource &, const QString &,
    const std::function<Result<void>(ClubDb &,
                                     const std::function<Result<void>(const PlainRows &)> &)> &,
    const std::function<Result<void>(const PlainRows &)> &);

} // namespace tallic::club
