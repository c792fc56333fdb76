#include "fetch/CaptureOnPort.h"

#include "serial/CPort.h"

void TCaptureOnPort::Open(const std::string &logPath) {
    FPort.Open();
    try {
        FCapture.Open(logPath);
    } catch (...) {
        FPort.Close();
        throw;
    }
}

void TCaptureOnPort::Close() {
    FPort.Close();
    FCapture.Close();
}

bool TCaptureOnPort::Running() const {
    return FPort.Connected();
}

void TCaptureOnPort::Receive(int count) {
    try {
        std::string bytes;
        FPort.ReadString(bytes, count);
        if (bytes.empty() || !FCapture.IsOpen())
            return;
        FCapture.Take(bytes);
    } catch (...) {
        try {
            Close();
        } catch (...) {
        }
        throw;
    }
}
