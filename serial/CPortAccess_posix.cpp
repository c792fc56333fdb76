#include "serial/CPortAccess.h"

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The reentrant look-ups want a buffer; its size is a hint, and ERANGE asks for more.
template <typename Entry, typename Id, typename Lookup>
std::string NameOf(Id id, Lookup lookup, char *Entry::*name) {
    std::vector<char> buffer(1024);
    for (;;) {
        Entry entry{};
        Entry *found = nullptr;
        const int error = lookup(id, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        return error == 0 && found && found->*name ? std::string(found->*name) : std::string();
    }
}

bool InGroup(gid_t gid) {
    if (getegid() == gid)
        return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(size_t(count), 0);
    const int got = getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[size_t(i)] == gid)
            return true;
    return false;
}

} // namespace

std::string DeniedPortAdvice(const std::string &devicePath) {
    struct stat node {};
    if (stat(devicePath.c_str(), &node) != 0)
        return {};
    // Joining is the cure only where the group may read and write and the user is not in it
    // already (a refusal despite that comes from elsewhere: a nodev mount, a security
    // module). Root's group is never worth joining for a port.
    const mode_t readWrite = S_IRGRP | S_IWGRP;
    if ((node.st_mode & readWrite) != readWrite || node.st_gid == 0 || InGroup(node.st_gid))
        return {};
    const std::string user = NameOf<passwd>(geteuid(), getpwuid_r, &passwd::pw_name);
    const std::string groupName = NameOf<group>(node.st_gid, getgrgid_r, &group::gr_name);
    const std::string relogin = " Endringen gjelder først når du har logget inn på nytt.";
    const std::string theUser = user.empty() ? "brukeren din" : "brukeren «" + user + "»";
    // usermod wants a group that exists by name; a bare number can only be reported.
    if (groupName.empty())
        return "Porten " + devicePath + " tilhører gruppen med nummer " +
               std::to_string(node.st_gid) + ", som ikke har noe navn. Be om at " + theUser +
               " legges til i den." + relogin;
    return "Porten " + devicePath + " tilhører gruppen «" + groupName + "». Legg " + theUser +
           " til i gruppen med «sudo usermod -aG " + groupName + " " +
           (user.empty() ? "BRUKERNAVN" : user) + "»." + relogin;
}
