#pragma once

#include <QDeadlineTimer>
#include <functional>

// Handles pending events, blocking in the event loop, until `done` holds or
// the deadline passes. True when `done` held. Never spins: a timer wakes the
// loop at the deadline, to the microsecond where a timerfd can be had.
bool WaitUntil(const std::function<bool()> &done,
               QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));

// Pauses ms milliseconds while handling events; also ends early when `leave` holds.
void vent(unsigned ms, const std::function<bool()> &leave = {});
// The same pause to a deadline taken earlier, so that what came between counts in it.
void vent(const QDeadlineTimer &end, const std::function<bool()> &leave = {});
