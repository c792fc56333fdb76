#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The capture log as a buffered writer. Every failure raises EInOutError from its errno.
class TCaptureLog {
public:
    // Big enough that a running capture (about 1.7 KB of text a second at 4800 bit/s)
    // writes every few seconds, small enough that a flush is one cheap write.
    static constexpr std::size_t BufferSize = 4096;

    TCaptureLog() = default;
    // Writes out the buffered tail; an error here is lost.
    ~TCaptureLog();
    TCaptureLog(const TCaptureLog &) = delete;
    TCaptureLog &operator=(const TCaptureLog &) = delete;

    // Creates the file anew, empty, mode 0600, never through a symbolic link.
    void Create(const std::string &path);
    void Write(std::string_view text);
    // Puts what is buffered into the file; the log stays open.
    void Flush();
    // Flushes and closes. The file is closed even when the flush fails.
    void Close();
    bool IsOpen() const { return FHandle >= 0; }

private:
    void WriteOut();

    int FHandle = -1;
    std::string FBuffer;
};
