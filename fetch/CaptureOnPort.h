#pragma once

#include "fetch/Capture.h"

#include <string>

class TCustomComPort;

// The capture running on a port, as the window and rz8-fetch run it: the port opens before
// the log and closes before it, and a capture that cannot keep its log ends as a whole.
class TCaptureOnPort {
public:
    TCaptureOnPort(TCustomComPort &port, TCapture &capture) : FPort(port), FCapture(capture) {}

    // Opens the port, then creates the log; a log that cannot be made closes the port again,
    // since a port without its log would take the clock's records and lose them all.
    void Open(const std::string &logPath);
    // The port first, so nothing arrives for a log that is closing.
    void Close();
    bool Running() const;
    // Reads the bytes a received-data event announced and takes them. An error closes the
    // capture, keeping what the log holds, and is raised again.
    void Receive(int count);

private:
    TCustomComPort &FPort;
    TCapture &FCapture;
};
