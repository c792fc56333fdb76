#pragma once

#include "tools/VirtualClock.h"

#include <string>
#include <vector>

struct ClockCommandLine {
    VirtualClock::Options clock;
    std::string logPath;
    bool quiet = false;
    bool help = false;
};

extern const char *const ClockUsage;

// Throws std::invalid_argument naming the option at fault.
ClockCommandLine ParseClockCommandLine(const std::vector<std::string> &args);
