#pragma once

#include <string>

struct RawPty {
    int master = -1; // non-blocking
    int slave = -1;
    std::string slavePath;
};

// A pseudo-terminal whose slave is raw from the start, so that no byte of the protocol
// (3 is Ctrl-C) is taken as a control character. Throws std::system_error.
RawPty OpenRawPty();

// Points `link` at `target`, replacing a stale symlink left by an earlier run.
// Throws std::system_error; refuses to replace anything but a symlink.
void MakeLink(const std::string &link, const std::string &target);

// Removes `link` only while it still points at `target`, so another clock's link stays.
void RemoveLink(const std::string &link, const std::string &target);
