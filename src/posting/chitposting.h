#pragma once

#include "basic/chit.h"
#include "basic/postingrules.h"
#include "posting/chitrow.h"
#include "store/pendingwrites.h"

#include <QString>

#include <optional>

namespace tallic {

class Arinput;
class BatchScreen;
class EntryModes;

// OK on the entry window: the chit on the screen decided on, stored once, counted in the
// batch. A chit whose post the server left untold stays on the screen, noted on the disk,
// and is looked up (with the workstation's other untold writes) before anything is stored
// again: at the next OK, and when the program starts.
class ChitPosting
{
public:
    ChitPosting(Arinput &window, EntryModes &modes, BatchScreen &batches);

    void post();
    // At start, before the first batch: every untold write of the workstation, told in one box.
    void settleAtStart();
    void showServerWait(bool waiting);
    // False when the operator keeps the window open over a chit the server left untold.
    bool closeAllowed() const;

private:
    // The chit on the screen, as OK takes it.
    Chit readChit() const;
    // What OK decides from besides the chit, and the boxes of its refusals.
    PostingContext postingContext() const;
    void refusePosting(const PostingDecision &decision);
    WriteResult storeChit(const Chit &chit, const QString &key,
                          const std::optional<ChitPeriod> &unlessAlike);
    std::optional<ChitPeriod> alikePeriod(const Chit &chit) const;
    bool askToPostAlikeAgain(const Chit &chit, const ChitPeriod &period);
    // The operator's notice of a chit whose row could not be stored.
    void reportUnstoredChit(const QString &chit, const QString &reason);
    void reportUnknownChit(const PendingWrite &write);
    enum class Settled {
        GoOn, // nothing untold stands in the way: the chit on the screen is posted
        ChitKept, // the chit stays on the screen: told of in a box, or still unknown
        ChitCounted, // the chit on the screen was found stored, and counted
    };
    Settled settleUnknownWrites();

    Arinput &window_;
    EntryModes &modes_;
    BatchScreen &batches_;
    std::optional<PendingWrite> unknownChit_;
    int unknownBatch_ = 0; // the batch it was posted in
    QString helpBeforeWait_;
};

} // namespace tallic
