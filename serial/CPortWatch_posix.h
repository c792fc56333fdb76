#pragma once

#include "serial/CPortLineState_posix.h"

#include <chrono>

// Device states Linux offers no wake-up for are checked on a timer by the event thread.
using TWatchClock = std::chrono::steady_clock;

class TTimedWatch {
public:
    bool Active() const { return FActive; }
    void Stop() { FActive = false; }
    // The next check is due at once (when the watch runs at all).
    void CheckNow(TWatchClock::time_point now) {
        if (FActive)
            FDue = now;
    }
    // Milliseconds until the next check, -1 when inactive.
    int TimeoutMs(TWatchClock::time_point now) const;

protected:
    void Schedule(TWatchClock::time_point due) {
        FActive = true;
        FDue = due;
    }
    bool Due(TWatchClock::time_point now) const { return FActive && now >= FDue; }

private:
    bool FActive = false;
    TWatchClock::time_point FDue;
};

// Modem-line changes, breaks and line errors, where the driver has counters or modem bits.
class TLineWatch : public TTimedWatch {
public:
    TLineWatch(int handle, TComEvents mask);
    TComEvents Check(TWatchClock::time_point now);

private:
    static constexpr std::chrono::milliseconds Period{50};

    const int FHandle;
    bool FCounters = false;
    TLineCounters FLastCounters;
    int FLastBits = 0;
};

// After a write: the output queue (and the transmitter, where the driver says) has drained.
// pty output queues read 0 at once; real lines are checked with a growing interval.
class TTransmitWatch : public TTimedWatch {
public:
    explicit TTransmitWatch(int handle) : FHandle(handle) {}
    void Start(TWatchClock::time_point now);
    TComEvents Check(TWatchClock::time_point now);

private:
    static constexpr std::chrono::milliseconds FirstInterval{1};
    static constexpr std::chrono::milliseconds LongestInterval{20};

    bool Drained();

    const int FHandle;
    std::chrono::milliseconds FInterval{FirstInterval};
};
