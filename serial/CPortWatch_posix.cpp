#include "serial/CPortWatch_posix.h"

#include <algorithm>
#include <sys/ioctl.h>

int TTimedWatch::TimeoutMs(TWatchClock::time_point now) const {
    if (!FActive)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(FDue - now).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, 60000));
}

TLineWatch::TLineWatch(int handle, TComEvents mask) : FHandle(handle) {
    const TComEvents lineEvents{evCTS, evDSR, evRLSD, evRing, evBreak, evError};
    if ((mask * lineEvents).Empty())
        return;
    FCounters = ReadLineCounters(FHandle, FLastCounters);
    if (FCounters || ReadModemBits(FHandle, FLastBits))
        Schedule(TWatchClock::now() + Period);
}

TComEvents TLineWatch::Check(TWatchClock::time_point now) {
    if (!Due(now))
        return {};
    TComEvents events;
    if (FCounters) {
        TLineCounters counters;
        if (!ReadLineCounters(FHandle, counters)) {
            Stop();
            return {};
        }
        events = EventsBetween(FLastCounters, counters);
        FLastCounters = counters;
    } else {
        int bits = 0;
        if (!ReadModemBits(FHandle, bits)) {
            Stop();
            return {};
        }
        events = EventsBetweenBits(FLastBits, bits);
        FLastBits = bits;
    }
    Schedule(now + Period);
    return events;
}

void TTransmitWatch::Start(TWatchClock::time_point now) {
    FInterval = FirstInterval;
    Schedule(now);
}

TComEvents TTransmitWatch::Check(TWatchClock::time_point now) {
    if (!Due(now))
        return {};
    int queued = 0;
    if (ioctl(FHandle, TIOCOUTQ, &queued) != 0) {
        Stop(); // the device failed; a hung-up line reports nothing more
        return {};
    }
    if (queued == 0 && Drained()) {
        Stop();
        return {evTxEmpty};
    }
    Schedule(now + FInterval);
    FInterval = std::min(FInterval * 2, LongestInterval);
    return {};
}

bool TTransmitWatch::Drained() {
    unsigned int status = 0;
    // Without the line status (pty, most USB adapters) the empty queue is all we know.
    if (ioctl(FHandle, TIOCSERGETLSR, &status) != 0)
        return true;
    return (status & TIOCSER_TEMT) != 0;
}
