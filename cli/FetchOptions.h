#pragma once

#include <string>
#include <vector>

// What rz8-fetch was asked to do.
struct TFetchCommandLine {
    enum TCommand { Capture, Decode, Help } Command = Help;
    std::string Port;                     // capture
    std::string LogPath = "/tmp/rz8.log"; // written by capture, read by decode
    int SilenceSeconds = 10;              // capture ends after this long without a byte; 0: never
    std::string Table;                    // decode: "tklasse" or "ttider"; empty: both
};

extern const char *const FetchUsage;

// Throws std::invalid_argument naming what is wrong.
TFetchCommandLine ParseFetchCommandLine(const std::vector<std::string> &args);
