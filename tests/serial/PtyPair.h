#pragma once

// A pseudo-terminal standing in for a serial device: the program under test opens
// SlavePath(), the test plays the device on the master side.

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

class PtyPair {
public:
    PtyPair() {
        char name[256] = {};
        if (openpty(&FMaster, &FSlave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        FSlavePath = name;
        // Raw at once: otherwise a byte 3 from the master acts as Ctrl-C and flushes input.
        termios settings{};
        tcgetattr(FSlave, &settings);
        cfmakeraw(&settings);
        tcsetattr(FSlave, TCSANOW, &settings);
        fcntl(FMaster, F_SETFL, fcntl(FMaster, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() {
        CloseMaster();
        close(FSlave);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    const std::string &SlavePath() const { return FSlavePath; }
    int Master() const { return FMaster; }
    // The test's own descriptor of the device, e.g. to look at its settings or queue.
    int Slave() const { return FSlave; }

    void Write(const std::string &bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t written = ::write(FMaster, bytes.data() + done, bytes.size() - done);
            if (written > 0)
                done += size_t(written);
            else if (!WaitMaster(POLLOUT, 5000))
                throw std::runtime_error("pty master write stalled");
        }
    }

    // Up to count bytes the program wrote, waiting at most timeoutMs for them.
    std::string Read(size_t count, int timeoutMs = 5000) {
        std::string bytes;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (bytes.size() < count) {
            char buffer[4096];
            const ssize_t read =
                ::read(FMaster, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (read > 0) {
                bytes.append(buffer, size_t(read));
                continue;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || !WaitMaster(POLLIN, int(left.count())))
                break;
        }
        return bytes;
    }

    // Bytes the program wrote that nobody has read yet.
    int MasterInputQueue() const { return QueueOf(FMaster); }
    // Bytes sent to the program that it has not read yet.
    int SlaveInputQueue() const { return QueueOf(FSlave); }

    // Waits, without running any event loop, until the program's input queue holds count bytes.
    bool WaitSlaveInputQueue(int count, int timeoutMs = 5000) const {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (SlaveInputQueue() != count) {
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // Stands in for unplugging the device.
    void CloseMaster() {
        if (FMaster >= 0)
            close(FMaster);
        FMaster = -1;
    }

private:
    using Clock = std::chrono::steady_clock;

    static int QueueOf(int handle) {
        int queued = -1;
        ioctl(handle, FIONREAD, &queued);
        return queued;
    }
    bool WaitMaster(short events, int timeoutMs) const {
        pollfd entry{FMaster, events, 0};
        return poll(&entry, 1, timeoutMs) == 1;
    }

    int FMaster = -1;
    int FSlave = -1;
    std::string FSlavePath;
};
