#include "sharedstate.h"

#include "store/database.h"
#include "store/folderlock.h"

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
