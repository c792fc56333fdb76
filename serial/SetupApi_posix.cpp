#include "serial/SetupApi.h"

namespace {
int RefCount = 0;

std::string &Root() {
    static std::string root = "/sys";
    return root;
}
} // namespace

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

const std::string &SysfsRoot() {
    return Root();
}

void SetSysfsRoot(const std::string &root) {
    Root() = root;
}
