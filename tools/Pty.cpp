#include "tools/Pty.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string &what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void SetUp(RawPty &pty) {
    termios tio{};
    if (tcgetattr(pty.slave, &tio) != 0)
        Fail("tcgetattr");
    cfmakeraw(&tio);
    if (tcsetattr(pty.slave, TCSANOW, &tio) != 0)
        Fail("tcsetattr");
    char name[PATH_MAX];
    if (ptsname_r(pty.master, name, sizeof name) != 0)
        Fail("ptsname");
    pty.slavePath = name;
    if (fcntl(pty.master, F_SETFL, fcntl(pty.master, F_GETFL) | O_NONBLOCK) != 0 ||
        fcntl(pty.master, F_SETFD, FD_CLOEXEC) != 0 || fcntl(pty.slave, F_SETFD, FD_CLOEXEC) != 0)
        Fail("fcntl");
}

} // namespace

RawPty OpenRawPty() {
    RawPty pty;
    if (openpty(&pty.master, &pty.slave, nullptr, nullptr, nullptr) != 0)
        Fail("openpty");
    try {
        SetUp(pty);
    } catch (...) {
        close(pty.master);
        close(pty.slave);
        throw;
    }
    return pty;
}

void MakeLink(const std::string &link, const std::string &target) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            Fail(link + " exists and is not a symlink");
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0)
        Fail("symlink " + link);
}

void RemoveLink(const std::string &link, const std::string &target) {
    char buf[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf);
    if (n > 0 && std::string(buf, std::size_t(n)) == target)
        unlink(link.c_str());
}
