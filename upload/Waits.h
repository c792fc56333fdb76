#pragma once

#include <QDeadlineTimer>
#include <functional>

// Handles pending events, blocking in the event loop, until `done` holds or
// the deadline passes. True when `done` held. Never spins: a precise timer
// wakes the loop at the deadline.
bool WaitUntil(const std::function<bool()> &done,
               QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));

// Pauses ms milliseconds while handling events; also ends early when `leave` holds.
void vent(unsigned ms, const std::function<bool()> &leave = {});
