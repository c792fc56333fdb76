#include "serial/CPortDiscovery.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

// The first line of a sysfs attribute, or false when it cannot be read.
bool ReadAttribute(const std::string &path, std::string &value) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[256];
    const ssize_t read = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (read < 0)
        return false;
    value.assign(buffer, size_t(read));
    value.erase(std::min(value.find('\n'), value.size()));
    return true;
}

// Drops "." and empty parts and takes ".." back one folder.
std::string Normalize(const std::string &path) {
    std::vector<std::string> parts;
    for (size_t start = 0; start <= path.size();) {
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result = path.rfind('/', 0) == 0 ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i)
        result += (i ? "/" : "") + parts[i];
    return result;
}

// Where a symbolic link leads, or the path itself when it is no link; nothing when nothing
// is there. Sysfs links lead between real folders, so their ".." can be taken as written,
// which costs one call instead of one per folder of the path.
std::optional<std::string> Resolve(const std::string &path) {
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target);
    if (length < 0)
        return errno == EINVAL ? std::optional(path) : std::nullopt;
    const std::string link(target, size_t(length));
    return Normalize(link.rfind('/', 0) == 0 ? link : path.substr(0, path.rfind('/') + 1) + link);
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
bool Placeholder(const std::string &tty, const std::string &name) {
    std::string type;
    return name.rfind("ttyS", 0) == 0 && ReadAttribute(tty + "/type", type) && type == "0";
}

// "USB\VID_xxxx&PID_xxxx\serial" when the folder is a USB device's.
std::optional<std::string> UsbHardwareId(const std::string &folder) {
    std::string vendor, product, serial;
    if (!ReadAttribute(folder + "/idVendor", vendor) ||
        !ReadAttribute(folder + "/idProduct", product))
        return std::nullopt;
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
std::string DevicePath(const std::string &device, const std::string &treeTop) {
    if (!Exists(device))
        return {};
    for (std::string folder = device; folder.rfind(treeTop, 0) == 0;
         folder.erase(folder.rfind('/'))) {
        if (const auto id = UsbHardwareId(folder))
            return *id;
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
    const std::string top = Normalize(sysfsRoot);
    const std::string ttys = top + "/class/tty";
    const auto close = [](DIR *d) { closedir(d); };
    std::unique_ptr<DIR, decltype(close)> folder(opendir(ttys.c_str()), close);
    if (!folder) {
        result.Error = errno;
        return result;
    }
    const std::string treeTop = top.empty() || top.back() != '/' ? top + "/" : top;
    while (const dirent *item = readdir(folder.get())) {
        const std::string name = item->d_name;
        if (name == "." || name == ".." || !UsableName(name))
            continue;
        const auto tty = Resolve(ttys + "/" + name);
        const auto device = tty ? Resolve(*tty + "/device") : std::nullopt;
        if (!device || Placeholder(*tty, name))
            continue;
        result.Ports.push_back({name, DevicePath(*device, treeTop)});
    }
    std::sort(result.Ports.begin(), result.Ports.end(),
              [](const TPresentPort &a, const TPresentPort &b) {
                  return NameKey(a.Name) < NameKey(b.Name);
              });
    return result;
}
