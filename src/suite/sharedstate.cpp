#include "sharedstate.h"

namespace tallic {

namespace {
SharedState shared;
}

SharedState &state()
{
    return shared;
}

void clearError()
{
    SharedState &s = state();
    s.ErrNumber = 0;
    s.ErrDescription.clear();
    s.ErrLine = 0;
}

void resetSharedState()
{
    shared = SharedState();
}

} // namespace tallic
