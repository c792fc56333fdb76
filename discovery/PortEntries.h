#pragma once

#include "discovery/PortEnumeration.h"

#include <string>
#include <vector>

// One step of filling the port list: add the text unless the list holds it already, and
// select it when Select is set.
struct TPortEntry {
    std::string Text;
    bool Select = false;
};

// The entries for the present ports, in order: each port's serial port entry, followed by
// a USB timer entry (selected) when its device carries the timer's product id.
std::vector<TPortEntry> PortEntries(const std::vector<TPresentPort> &ports);

// The timer's marker in a device path, in capitals or in small letters only.
bool IsUsbTimer(const std::string &devicePath);
