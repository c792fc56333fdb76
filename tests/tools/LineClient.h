#pragma once

#include <chrono>
#include <string>

// The program's end of the line: opens the clock's slave path raw, as a serial port would.
class LineClient {
public:
    using Ms = std::chrono::milliseconds;
    using TimePoint = std::chrono::steady_clock::time_point;
    struct Arrival {
        TimePoint first; // of the first and last byte read
        TimePoint last;
    };

    explicit LineClient(const std::string &path);
    ~LineClient();
    LineClient(const LineClient &) = delete;
    LineClient &operator=(const LineClient &) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    bool Write(const std::string &bytes);
    // What arrives until `quiet` passes without a byte, or `first` without any at all.
    std::string Read(Ms first = Ms(150), Ms quiet = Ms(40), Arrival *arrival = nullptr);

private:
    int fd_ = -1;
};
