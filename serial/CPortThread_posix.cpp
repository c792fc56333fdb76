#include "serial/CPort.h"
#include "serial/CPortThread.h"
#include "serial/CPortWatch_posix.h"
#include "serial/CPortWindowSync.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

enum : uint32_t { StopSource, DeviceSource };

int Rx80Limit(int inputSize) {
    return inputSize > 0 ? inputSize * 4 / 5 : 0;
}

int Earliest(int a, int b) {
    if (a < 0)
        return b;
    if (b < 0)
        return a;
    return std::min(a, b);
}

bool Watch(int epoll, int handle, uint32_t source, uint32_t events) {
    epoll_event entry{};
    entry.events = events;
    entry.data.u32 = source;
    return epoll_ctl(epoll, EPOLL_CTL_ADD, handle, &entry) == 0;
}

} // namespace

TComThread::TComThread(TCustomComPort &port)
    : FComPort(port), FWindowSync(port.FWindowSync), FHandle(port.FDevice.Handle()),
      FMask(port.Events()), FSyncMethod(port.SyncMethod()),
      FRx80Limit(Rx80Limit(port.Buffer().InputSize())) {
    FStopEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FStopEvent < 0)
        throw EComPort(CError_OpenFailed, errno);
    setObjectName(QStringLiteral("TComThread"));
    start(QThread::NormalPriority);
}

TComThread::~TComThread() {
    StopThread();
    wait();
    close(FStopEvent);
}

void TComThread::Signal() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(FStopEvent, &one, sizeof one);
}

void TComThread::StopThread() {
    FStopping = true;
    Signal();
    yieldCurrentThread();
}

void TComThread::WatchTransmit() {
    FTransmitWatch = true;
    Signal();
}

// Received data is watched edge-triggered: the device wakes us when new bytes arrive, also
// while earlier bytes stay unread, and never again for bytes that are merely still queued.
// So a handler that reads nothing costs no wake-ups, and bytes arriving during a delivery
// are reported right after it. After a hang-up only the stop signal is watched.
void TComThread::run() {
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0)
        return;
    const bool watchRx = FMask.Contains(evRxChar) || FMask.Contains(evRx80Full);
    Watch(epoll, FStopEvent, StopSource, EPOLLIN);
    Watch(epoll, FHandle, DeviceSource, (watchRx ? EPOLLIN : 0u) | EPOLLET);
    TLineWatch lines(FHandle, FMask);
    TTransmitWatch transmit(FHandle);
    bool hungUp = false;
    bool above80 = false;

    while (!FStopping) {
        const auto now = TWatchClock::now();
        epoll_event ready[2];
        const int count =
            epoll_wait(epoll, ready, 2, Earliest(lines.TimeoutMs(now), transmit.TimeoutMs(now)));
        if (count < 0 && errno != EINTR)
            break;
        TComEvents report;
        for (int i = 0; i < count; ++i) {
            if (ready[i].data.u32 == StopSource) {
                uint64_t value;
                [[maybe_unused]] ssize_t read = ::read(FStopEvent, &value, sizeof value);
            } else if (ready[i].events & (EPOLLHUP | EPOLLERR)) {
                hungUp = true;
                epoll_ctl(epoll, EPOLL_CTL_DEL, FHandle, nullptr);
                lines.Stop();
                transmit.Stop();
            } else if (ready[i].events & EPOLLIN) {
                report.Include(evRxChar);
                // Errors that came with these bytes must be reported before the data step
                // reads the queue, which clears them.
                lines.CheckNow(now);
                int queued = 0;
                const bool wasAbove = above80;
                above80 = ioctl(FHandle, FIONREAD, &queued) == 0 && FRx80Limit > 0 &&
                          queued >= FRx80Limit;
                if (above80 && !wasAbove)
                    report.Include(evRx80Full);
            }
        }
        if (FStopping)
            break;
        if (FTransmitWatch.exchange(false) && !hungUp && FMask.Contains(evTxEmpty))
            transmit.Start(TWatchClock::now());
        const auto checked = TWatchClock::now();
        report = report + lines.Check(checked) + transmit.Check(checked);
        FEvents = report * FMask;
        if (!FEvents.Empty() && !DeliverEvents())
            break; // a handler failed: end silently, the port stays open
    }
    close(epoll);
}
