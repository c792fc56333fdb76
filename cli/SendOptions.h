#pragma once

#include <string>
#include <vector>

// What rz8-send was asked to do.
struct TSendCommandLine {
    enum TCommand { Send, DryRun, ListPorts, Help } Command = Help;
    std::string File;
    std::string Port;      // as the window's port list takes it: ttyUSB0, or a path
    std::string TracePath; // empty: no trace
};

extern const char *const SendUsage;

// Throws std::invalid_argument naming what is wrong.
TSendCommandLine ParseSendCommandLine(const std::vector<std::string> &args);
