#include "serial/SetupApi.h"

namespace {
int RefCount = 0;
}

// Linux lists its ports through sysfs, which needs nothing loaded: the services are always
// usable and only the count is kept.
bool AcquireSetupApi() {
    ++RefCount;
    return true;
}

void ReleaseSetupApi() {
    if (RefCount > 0)
        --RefCount;
}
