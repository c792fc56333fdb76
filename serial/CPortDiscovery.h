#pragma once

#include <string>
#include <vector>

// A serial port present on the machine: the name the port component opens and the
// identification of its device, in which the USB timer marker is sought.
struct TPresentPort {
    std::string Name;
    // "USB\VID_xxxx&PID_xxxx\serial" for a port on a USB device; otherwise the device's
    // folder in the device tree, or empty when its link leads nowhere.
    std::string DevicePath;
};

struct TPortEnumeration {
    std::vector<TPresentPort> Ports;
    // errno when the tty folder could not be read; the port list is then unknown.
    int Error = 0;
};

// The present serial ports under the device tree at sysfsRoot, in natural order of their
// names (ttyS2 before ttyS10), so the order is the same at every run.
TPortEnumeration EnumeratePresentPorts(const std::string &sysfsRoot);

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
