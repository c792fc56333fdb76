#pragma once

#include <string>

// The device set-up services that port discovery reads, counted per acquisition. Each
// activation of the main window acquires them and its close releases them once.
bool AcquireSetupApi();
void ReleaseSetupApi();

// The kernel's device tree the services read, "/sys" unless a test points it elsewhere.
const std::string &SysfsRoot();
void SetSysfsRoot(const std::string &root);
