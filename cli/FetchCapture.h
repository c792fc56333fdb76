#pragma once

#include <string>

// rz8-fetch capture: answers the clock on `port` and logs what it sends to `logPath`, until
// Ctrl-C or `silenceSeconds` without a byte (0: no limit). Returns the exit status; errors
// go to standard error.
int RunFetchCapture(const std::string &port, const std::string &logPath, int silenceSeconds);
