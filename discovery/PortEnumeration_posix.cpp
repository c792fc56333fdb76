#include "discovery/PortEnumeration.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <tuple>

namespace {

// The first line of a sysfs attribute, or nothing when it cannot be read.
bool ReadAttribute(const std::string &path, std::string &value) {
    std::ifstream file(path);
    return bool(std::getline(file, value));
}

bool Exists(const std::string &path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// Port names are written into the port list and read back as its first word, so only
// names of printable ASCII without blanks make an entry that opens the same port.
bool UsableName(const std::string &name) {
    return !name.empty() && std::all_of(name.begin(), name.end(),
                                        [](unsigned char c) { return c > ' ' && c < 0x7f; });
}

// An 8250 driver registers placeholder ports without hardware; they report type 0.
bool Placeholder(const std::string &entry, const std::string &name) {
    std::string type;
    return name.rfind("ttyS", 0) == 0 && ReadAttribute(entry + "/type", type) && type == "0";
}

std::string UsbHardwareId(const std::string &folder) {
    std::string vendor, product, serial;
    if (!ReadAttribute(folder + "/idVendor", vendor) ||
        !ReadAttribute(folder + "/idProduct", product))
        return {};
    char id[40];
    std::snprintf(id, sizeof id, "USB\\VID_%04lX&PID_%04lX",
                  std::strtoul(vendor.c_str(), nullptr, 16),
                  std::strtoul(product.c_str(), nullptr, 16));
    std::string result = id;
    if (ReadAttribute(folder + "/serial", serial) && !serial.empty())
        result += "\\" + serial;
    return result;
}

// The hardware id of the USB device above the port's device, else the device's own folder.
// treeTop ends with '/'; the walk stays inside the tree.
std::string DevicePath(const std::string &deviceLink, const std::string &treeTop) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(deviceLink.c_str(), nullptr),
                                                         &std::free);
    if (!resolved)
        return {};
    const std::string device = resolved.get();
    for (std::string folder = device; folder.rfind(treeTop, 0) == 0;
         folder.erase(folder.rfind('/'))) {
        if (Exists(folder + "/idVendor")) {
            const std::string id = UsbHardwareId(folder);
            if (!id.empty())
                return id;
        }
    }
    return device;
}

// Natural order of names, the number after the prefix compared by value: ttyS2 before
// ttyS10 before ttyUSB0.
auto NameKey(const std::string &name) {
    const size_t d = std::min(name.find_first_of("0123456789"), name.size());
    const size_t e = std::min(name.find_first_not_of("0123456789", d), name.size());
    std::string digits = name.substr(d, e - d);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    return std::make_tuple(name.substr(0, d), digits.size(), digits, name.substr(e), name);
}

} // namespace

TPortEnumeration EnumeratePresentPorts(const std::string &sysfsRoot) {
    TPortEnumeration result;
    const std::string ttys = sysfsRoot + "/class/tty";
    const auto close = [](DIR *d) { closedir(d); };
    std::unique_ptr<DIR, decltype(close)> folder(opendir(ttys.c_str()), close);
    if (!folder) {
        result.Error = errno;
        return result;
    }
    std::unique_ptr<char, decltype(&std::free)> top(realpath(sysfsRoot.c_str(), nullptr),
                                                    &std::free);
    std::string treeTop = top ? top.get() : sysfsRoot;
    if (treeTop.empty() || treeTop.back() != '/')
        treeTop += '/';
    while (const dirent *item = readdir(folder.get())) {
        const std::string name = item->d_name;
        const std::string entry = ttys + "/" + name;
        if (name == "." || name == ".." || !UsableName(name) || !Exists(entry + "/device") ||
            Placeholder(entry, name))
            continue;
        result.Ports.push_back({name, DevicePath(entry + "/device", treeTop)});
    }
    std::sort(result.Ports.begin(), result.Ports.end(),
              [](const TPresentPort &a, const TPresentPort &b) {
                  return NameKey(a.Name) < NameKey(b.Name);
              });
    return result;
}
