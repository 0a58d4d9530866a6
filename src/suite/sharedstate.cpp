#include "sharedstate.h"

#include "database.h"

namespace tallic {

namespace {
Session current;
}

Session &session()
{
    return current;
}

void resetSharedState()
{
    current = Session();
    DbAddNewOff();
}

} // namespace tallic
