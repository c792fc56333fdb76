#pragma once

// The device set-up services that port discovery reads, counted per acquisition. Each
// activation of the main window acquires them and its close releases them once.
bool AcquireSetupApi();
void ReleaseSetupApi();
