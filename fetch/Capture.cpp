#include "fetch/Capture.h"

#include "upload/Protocol.h"

#include <charconv>

TCapture::TCapture(TUploadFlags &flags, std::function<void()> sendAck)
    : FFlags(flags), FSendAck(std::move(sendAck)) {}

void TCapture::Open(const std::string &path) {
    FLog.Create(path);
    FrameEnded = false;
    AwaitingFirstRecord = true;
    Records = 0;
}

void TCapture::Close() {
    FLog.Close();
}

void TCapture::Flush() {
    FLog.Flush();
}

void TCapture::Take(std::string_view bytes) {
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == CAN) {
            FSendAck();
            continue;
        }
        FText.clear();
        if (byte == STX && (FrameEnded || AwaitingFirstRecord)) {
            FText = FrameEnded ? " \r\n2" : "2";
            ++Records;
        } else {
            char digits[4];
            const auto end = std::to_chars(digits, digits + sizeof digits, unsigned(byte)).ptr;
            FText = ',';
            FText.append(digits, end);
        }
        FLog.Write(FText);
        if (byte == ETX) {
            FrameEnded = true;
            // At once, before the checksum byte behind it is handled.
            FSendAck();
            FFlags.Acknowledged = true;
        } else if (byte == STX) {
            FrameEnded = false;
            AwaitingFirstRecord = false;
        }
    }
}
