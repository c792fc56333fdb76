#include "serial/CPortAccess.h"
#include "serial/CPortBaud_posix.h"
#include "serial/CPortDevice.h"
#include "serial/CPortLineState_posix.h"
#include "serial/CPortTermios_posix.h"
#include "serial/EComPort.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

struct TComDevice::TState {
    int Handle = -1;
    termios Saved{};
    int SavedSerialFlags = -1;
    COMMTIMEOUTS Timeouts{};
    TComQueueSizes QueueSizes{};
    bool HasCounters = false;
    TLineCounters ErrorBase;
};

namespace {

using TClock = std::chrono::steady_clock;

// USB adapters otherwise hold received bytes back for up to 16 ms. Gives the driver's flags
// as they were, or -1 where it has none.
int SetLowLatency(int handle) {
    serial_struct serial{};
    if (ioctl(handle, TIOCGSERIAL, &serial) != 0)
        return -1;
    const int saved = serial.flags;
    serial.flags |= ASYNC_LOW_LATENCY;
    ioctl(handle, TIOCSSERIAL, &serial);
    return saved;
}

void RestoreSerialFlags(int handle, int flags) {
    serial_struct serial{};
    if (flags < 0 || ioctl(handle, TIOCGSERIAL, &serial) != 0)
        return;
    serial.flags = flags;
    ioctl(handle, TIOCSSERIAL, &serial);
}

bool HungUp(int handle) {
    pollfd entry{handle, 0, 0};
    return poll(&entry, 1, 0) == 1 && (entry.revents & (POLLHUP | POLLERR));
}

} // namespace

TComDevice::TComDevice() : FState(std::make_unique<TState>()) {}

TComDevice::~TComDevice() {
    Close();
}

std::string TComDevice::DevicePath(const std::string &portName) {
    return portName.find('/') != std::string::npos ? portName : "/dev/" + portName;
}

bool TComDevice::IsOpen() const {
    return FState->Handle >= 0;
}

int TComDevice::Handle() const {
    return FState->Handle;
}

void TComDevice::Open(const std::string &portName) {
    const std::string path = DevicePath(portName);
    const int handle = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        const int error = errno;
        // A user new to the machine is often not yet in the group that owns its ports. EPERM
        // is left alone: it comes from a device policy, not from the node's mode.
        throw EComPort(CError_OpenFailed, error,
                       error == EACCES ? DeniedPortAdvice(path) : std::string());
    }
    auto fail = [handle](int error) {
        ::close(handle);
        throw EComPort(CError_OpenFailed, error);
    };
    termios saved{};
    if (tcgetattr(handle, &saved) != 0)
        fail(errno);
    // flock holds for root too; EBUSY is what a port held under TIOCEXCL reports.
    if (flock(handle, LOCK_EX | LOCK_NB) != 0)
        fail(errno == EWOULDBLOCK ? EBUSY : errno);
    ioctl(handle, TIOCEXCL);
    FState->SavedSerialFlags = SetLowLatency(handle);
    FState->Handle = handle;
    FState->Saved = saved;
    FState->HasCounters = ReadLineCounters(handle, FState->ErrorBase);
}

void TComDevice::Close() noexcept {
    const int handle = FState->Handle;
    if (handle < 0)
        return;
    tcflush(handle, TCIOFLUSH);
    tcsetattr(handle, TCSANOW, &FState->Saved);
    RestoreSerialFlags(handle, FState->SavedSerialFlags);
    ioctl(handle, TIOCNXCL);
    ::close(handle);
    FState->Handle = -1;
}

void TComDevice::ApplyLineSettings(const DCB &dcb) {
    const int handle = FState->Handle;
    termios settings{};
    if (tcgetattr(handle, &settings) != 0)
        throw EComPort(CError_SetStateFailed, errno);
    DcbToTermios(dcb, settings);
    if (dcb.BaudRate == 0)
        throw EComPort(CError_SetStateFailed, EINVAL);
    if (tcsetattr(handle, TCSANOW, &settings) != 0)
        throw EComPort(CError_SetStateFailed, errno);
    if (StandardSpeed(dcb.BaudRate) == B0) {
        if (const int error = SetCustomBaudRate(handle, dcb.BaudRate))
            throw EComPort(CError_SetStateFailed, error);
    }
    SetModemLines(handle, dcb);
}

void TComDevice::ApplyTimeouts(const COMMTIMEOUTS &timeouts) {
    FState->Timeouts = timeouts;
}

// Linux has no call for queue sizes; they are kept as the recommendation they are.
void TComDevice::ApplyQueueSizes(const TComQueueSizes &sizes) {
    FState->QueueSizes = sizes;
}

int TComDevice::Write(const char *data, int count, const std::function<void()> &started) {
    const int handle = FState->Handle;
    const COMMTIMEOUTS &timeouts = FState->Timeouts;
    const uint64_t limitMs = uint64_t(timeouts.WriteTotalTimeoutMultiplier) * uint64_t(count) +
                             timeouts.WriteTotalTimeoutConstant;
    const bool limited = limitMs != 0; // both zero: no time limit
    const auto deadline =
        TClock::now() + std::chrono::milliseconds(std::min<uint64_t>(limitMs, INT_MAX));
    int done = 0;
    bool first = true;
    bool lineFailed = false;
    for (;;) {
        const ssize_t written = ::write(handle, data + done, size_t(count - done));
        if (written > 0)
            done += int(written);
        else if (written < 0 && errno != EAGAIN && errno != EINTR)
            throw EComPort(CError_WriteFailed, errno);
        else if (lineFailed) // poll said the line failed and still nothing was taken
            throw EComPort(CError_WriteFailed, EIO);
        if (first) {
            first = false;
            started();
        }
        if (done == count)
            break;
        int waitMs = -1;
        if (limited) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now());
            if (left.count() <= 0)
                break; // the time limit passed: what was taken so far is the result
            waitMs = int(left.count());
        }
        pollfd entry{handle, POLLOUT, 0};
        if (poll(&entry, 1, waitMs) < 0 && errno != EINTR)
            throw EComPort(CError_WriteFailed, errno);
        lineFailed = (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    }
    return done;
}

int TComDevice::Read(char *data, int count) {
    const int handle = FState->Handle;
    const ssize_t read = ::read(handle, data, size_t(count));
    if (read > 0)
        return int(read);
    if (read == 0) {
        // A read of 0 with VMIN 1 means the device hung up, unless it is not in raw mode yet.
        if (HungUp(handle))
            throw EComPort(CError_ReadFailed, EIO);
        return 0;
    }
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    throw EComPort(CError_ReadFailed, errno);
}

int TComDevice::InputQueue() {
    int queued = 0;
    if (ioctl(FState->Handle, FIONREAD, &queued) != 0)
        throw EComPort(CError_ClearComFailed, errno);
    // Like the error-clearing call it stands for, this also clears pending line errors.
    if (FState->HasCounters)
        ReadLineCounters(FState->Handle, FState->ErrorBase);
    return queued;
}

TModemSignals TComDevice::ModemSignals() {
    int bits = 0;
    if (ReadModemBits(FState->Handle, bits))
        return ModemBitsToSignals(bits);
    if (IsUnsupported(errno))
        return {}; // no modem lines (pseudo-terminals): all off
    throw EComPort(CError_ModemStatFailed, errno);
}

TComErrors TComDevice::TakeLineErrors(bool parityCheck) {
    if (FState->Handle < 0)
        throw EComPort(CError_ClearComFailed, EBADF);
    if (!FState->HasCounters)
        return {};
    TLineCounters now;
    if (!ReadLineCounters(FState->Handle, now)) {
        if (IsUnsupported(errno))
            return {};
        throw EComPort(CError_ClearComFailed, errno);
    }
    const TComErrors errors = ErrorsBetween(FState->ErrorBase, now, parityCheck);
    FState->ErrorBase = now;
    return errors;
}
