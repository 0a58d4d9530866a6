#include "sharedstate.h"

namespace tallic {

namespace {
SharedState shared;
}

SharedState &state()
{
    return shared;
}

void resetSharedState()
{
    shared = SharedState();
}

} // namespace tallic
