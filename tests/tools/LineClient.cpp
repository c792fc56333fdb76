#include "LineClient.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

LineClient::LineClient(const std::string &path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
    }
}

LineClient::~LineClient() {
    if (fd_ >= 0)
        close(fd_);
}

bool LineClient::Write(const std::string &bytes) {
    return write(fd_, bytes.data(), bytes.size()) == ssize_t(bytes.size());
}

std::string LineClient::Read(Ms first, Ms quiet, Arrival *arrival) {
    using Clock = std::chrono::steady_clock;
    std::string out;
    Clock::time_point deadline = Clock::now() + first;
    for (;;) {
        const auto left = std::chrono::ceil<Ms>(deadline - Clock::now()).count();
        pollfd p{fd_, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, int(left)) <= 0 || !(p.revents & POLLIN))
            return out;
        char buf[256];
        const ssize_t n = read(fd_, buf, sizeof buf);
        if (n <= 0)
            return out;
        const TimePoint now = Clock::now();
        if (arrival && out.empty())
            arrival->first = now;
        if (arrival)
            arrival->last = now;
        out.append(buf, std::size_t(n));
        deadline = now + quiet;
    }
}
