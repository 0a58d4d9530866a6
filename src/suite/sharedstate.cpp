#include "sharedstate.h"

#include "database.h"
#include "folderlock.h"

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
    releaseDataFolder();
}

} // namespace tallic
