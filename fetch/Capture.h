#pragma once

#include "fetch/CaptureLog.h"
#include "upload/Transfer.h"

#include <functional>
#include <string>
#include <string_view>

// The capture of the bytes a clock sends when it hands over its stored data: each byte
// but CAN goes into the log as decimal text, one record a line; CAN and every end byte
// are answered with ACK. Knows nothing of windows or ports: the answer is a callback.
class TCapture {
public:
    // sendAck writes one ACK to the clock; flags.Acknowledged is set after each end byte's.
    TCapture(TUploadFlags &flags, std::function<void()> sendAck);

    // Creates the log anew and starts a capture. A failure leaves the flags as they were.
    void Open(const std::string &path);
    // Writes out the buffer and closes the log.
    void Close();
    // Writes out the buffer while the capture goes on, e.g. before the log is read.
    void Flush();
    bool IsOpen() const { return FLog.IsOpen(); }

    // The bytes of one received-data event, in order. An error stops at the failing byte.
    void Take(std::string_view bytes);

    bool FrameEnded = false;
    bool AwaitingFirstRecord = false;
    // The records begun in the log since it was opened, one a line.
    long Records = 0;

private:
    TUploadFlags &FFlags;
    std::function<void()> FSendAck;
    TCaptureLog FLog;
    std::string FText;
};
