#pragma once

#include "serial/CPortLink.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

class TCustomComPort;

// A person-readable record of every byte on the upload's line, for support: one burst a
// line, with the milliseconds since the trace began, the direction, the bytes in hex and
// again as text with the control bytes named.
class TWireTrace {
public:
    // Creates the file anew, mode 0600, never through a symbolic link; raises EInOutError.
    explicit TWireTrace(const std::string &path);
    ~TWireTrace();
    TWireTrace(const TWireTrace &) = delete;
    TWireTrace &operator=(const TWireTrace &) = delete;

    // From now on every write to `port`, and its opening and closing, are traced.
    void Watch(TCustomComPort &port);
    void Unwatch();

    void Sent(std::string_view bytes) { Burst("->", bytes); }
    void Received(std::string_view bytes) { Burst("<-", bytes); }
    // A line of its own, marked as a remark.
    void Note(std::string_view text);

    // "02 41 03" and "<STX>A<ETX>": printable ASCII as it is, named control bytes in angle
    // brackets, other bytes as a dot.
    static std::string Hex(std::string_view bytes);
    static std::string Text(std::string_view bytes);

private:
    void Burst(const char *direction, std::string_view bytes);
    void Line(const std::string &text);

    std::FILE *File = nullptr;
    std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
    TCustomComPort *Port = nullptr;
    TComLink Link;
};
