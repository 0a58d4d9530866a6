#pragma once

#include "store/pendingwrites.h"
#include "store/writekeys.h"

#include <QList>
#include <QString>

#include <optional>

namespace tallic {

// What a look-up told of a write the server had left untold.
struct Resolution
{
    PendingWrite write;
    WriteResult result;
};

// Looks up the workstation's pending writes, and the one given besides (which another program
// may have resolved and forgotten already), within the time a server is given. Those found
// stored or not stored leave the file, and each is written to the activity log; those still
// unknown stay for the next look.
QList<Resolution> resolvePendingWrites(const std::optional<PendingWrite> &also = std::nullopt);

// The box's title when resolutions are told.
QString resolutionsTitle();
// Looks up the pending writes and tells in one box what became of them: where a program
// starts, or begins work that must count on what is stored.
void settlePendingWrites();

// The operator's line for a resolution: "Chit 336 was stored at 14:02 after all; it is
// counted", "Chit 336 was not stored; key it again", or that the server still did not say. A
// posted chit stored after all that the batch on the screen does not count names its batch
// instead.
QString resolutionText(const Resolution &resolution, bool counted = true);

// Records the write as unknown, on the disk, and writes it to the activity log; the text for
// the operator's box: the server did not answer whether it was stored, and when it will be
// checked (when, in the caller's words). A record that cannot be written is said too.
QString recordUnknown(const PendingWrite &write, const QString &when);

// The write in the operator's words: "chit 336", "chit G12 for member 1002", "the
// correction of chit 336".
QString writeName(const PendingWrite &write);

} // namespace tallic
