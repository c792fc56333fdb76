#pragma once

#include "serial/CPortRecords.h"
#include "serial/CPortTypes.h"

#include <functional>
#include <memory>
#include <string>

// One open serial device as the platform offers it. Every failure is an EComPort with the
// code of its step and the operating-system error number.
class TComDevice {
public:
    TComDevice();
    ~TComDevice();
    TComDevice(const TComDevice &) = delete;
    TComDevice &operator=(const TComDevice &) = delete;

    // "COM1" names /dev/COM1, a name with a '/' is a path.
    static std::string DevicePath(const std::string &portName);

    void Open(const std::string &portName);
    // Drops queued input and output, restores the device's own settings, releases it.
    void Close() noexcept;
    bool IsOpen() const;
    int Handle() const;

    void ApplyLineSettings(const DCB &dcb);
    void ApplyTimeouts(const COMMTIMEOUTS &timeouts);
    void ApplyQueueSizes(const TComQueueSizes &sizes);

    // Blocks until all bytes are taken or the write time limit passed; calls started once
    // the first bytes went out. Returns the bytes taken.
    int Write(const char *data, int count, const std::function<void()> &started);
    // Returns at once with what has arrived, at most count bytes.
    int Read(char *data, int count);
    int InputQueue();
    TModemSignals ModemSignals();
    // The line errors since the last call (or InputQueue), like clearing the device's error state.
    TComErrors TakeLineErrors(bool parityCheck);

private:
    struct TState;
    std::unique_ptr<TState> FState;
};
