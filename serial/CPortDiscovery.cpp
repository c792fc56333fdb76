#include "serial/CPortDiscovery.h"

bool IsUsbTimer(const std::string &devicePath) {
    return devicePath.find("PID_6001") != std::string::npos ||
           devicePath.find("pid_6001") != std::string::npos;
}

std::vector<TPortEntry> PortEntries(const std::vector<TPresentPort> &ports) {
    std::vector<TPortEntry> entries;
    for (const TPresentPort &port : ports) {
        entries.push_back({port.Name + " Serial port"});
        if (IsUsbTimer(port.DevicePath))
            entries.push_back({port.Name + " Tavo USB TIMER ", true});
    }
    return entries;
}
