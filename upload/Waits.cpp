#include "upload/Waits.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

// A processor that has idled through most of a pause wakes from a deep idle state, a few
// hundred microseconds late (measured: a median of 0.6 ms on a virtual machine). Woken this
// much earlier once, it sleeps the rest in a shallow state and wakes on time.
constexpr std::int64_t PreWakeNSecs = 1000000;

// Wakes the event loop at a deadline. A QTimer's interval is whole milliseconds and the
// loop's poll rounds up once more, so a 55 ms pause took about 55.6 ms. A timerfd set to
// the absolute deadline wakes it within microseconds. Where no timerfd can be had (out of
// descriptors), the precise timer stands in: late by up to a millisecond, never early.
class TDeadlineWake {
public:
    explicit TDeadlineWake(const QDeadlineTimer &deadline) : Deadline(deadline) {
        Fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        const bool preWake = Deadline.remainingTimeNSecs() > 2 * PreWakeNSecs;
        if (Fd >= 0 && Arm(preWake ? PreWakeNSecs : 0)) {
            Notifier = std::make_unique<QSocketNotifier>(Fd, QSocketNotifier::Read);
            QObject::connect(Notifier.get(), &QSocketNotifier::activated, Notifier.get(),
                             [this] { Take(); });
        } else {
            UseTimer();
        }
    }
    ~TDeadlineWake() {
        Notifier.reset();
        if (Fd >= 0)
            close(Fd);
    }
    TDeadlineWake(const TDeadlineWake &) = delete;
    TDeadlineWake &operator=(const TDeadlineWake &) = delete;

    // Called before each turn of the loop: after the early wake-up, or one that came early
    // for another reason, sets it again at the deadline itself.
    void Rearm() {
        if (Timer) {
            if (!Timer->isActive())
                Timer->start(int((Deadline.remainingTimeNSecs() + 999999) / 1000000));
        } else if (Fired) {
            Fired = false;
            if (!Arm())
                UseTimer();
        }
    }

private:
    // The deadline on CLOCK_MONOTONIC: the time left plus the clock's now, read second, so the
    // sum is never early where QDeadlineTimer counts on that clock too, as on Linux.
    std::int64_t MonotonicNSecs() const {
        const std::int64_t left = Deadline.remainingTimeNSecs();
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec + left;
    }

    bool Arm(std::int64_t early = 0) {
        // A zero time would disarm the timer; 1 ns has long passed and fires at once.
        const std::int64_t at = std::max<std::int64_t>(MonotonicNSecs() - early, 1);
        itimerspec wake{};
        wake.it_value.tv_sec = time_t(at / 1000000000);
        wake.it_value.tv_nsec = long(at % 1000000000);
        return timerfd_settime(Fd, TFD_TIMER_ABSTIME, &wake, nullptr) == 0;
    }

    // Reads the expiry, or the readable descriptor would wake the loop on every turn.
    void Take() {
        std::uint64_t expirations = 0;
        if (read(Fd, &expirations, sizeof expirations) == sizeof expirations) {
            Fired = true;
        } else if (errno != EAGAIN && errno != EINTR) {
            Notifier->setEnabled(false);
            UseTimer();
        }
    }

    void UseTimer() {
        Timer.emplace();
        Timer->setSingleShot(true);
        Timer->setTimerType(Qt::PreciseTimer);
    }

    QDeadlineTimer Deadline;
    int Fd = -1;
    bool Fired = false;
    std::unique_ptr<QSocketNotifier> Notifier;
    std::optional<QTimer> Timer;
};

} // namespace

bool WaitUntil(const std::function<bool()> &done, QDeadlineTimer deadline) {
    if (done())
        return true;
    if (deadline.hasExpired())
        return false;
    // One wake-up for the whole wait, so a nested wait keeps its own and the outer one
    // still ends at its deadline.
    std::optional<TDeadlineWake> wake;
    if (!deadline.isForever())
        wake.emplace(deadline);
    for (;;) {
        if (wake)
            wake->Rearm();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (done())
            return true;
        if (deadline.hasExpired())
            return false;
    }
}

void vent(unsigned ms, const std::function<bool()> &leave) {
    vent(QDeadlineTimer(qint64(ms), Qt::PreciseTimer), leave);
}

void vent(const QDeadlineTimer &end, const std::function<bool()> &leave) {
    WaitUntil([&] { return leave && leave(); }, end);
}
