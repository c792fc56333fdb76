#pragma once

#include "upload/ImportFile.h"

#include <chrono>
#include <exception>
#include <string>

class TCustomComPort;

// Handshake flags the port's received-data handler sets and the transfer's waits read.
struct TUploadFlags {
    bool Acknowledged = false;
    bool PacketAcknowledged = false;
    bool Rejected = false;
    bool Cancelled = false;
    int ResendCount = 0;
};

// What the transfer needs from the window.
class TUploadHost {
public:
    virtual ~TUploadHost() = default;
    // Status label text, repainted at once.
    virtual void ShowStatus(const std::string &text) = 0;
    virtual void ShowMessage(const std::string &text) = 0;
    virtual void SetWakeTimer(bool enabled) = 0;
    // The user is leaving: every wait ends and the transfer takes its ending.
    virtual bool LeaveRequested() const = 0;
};

// A packet the clock did not acknowledge in time, and similar transfer failures.
class EUploadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::chrono::milliseconds DefaultAckTimeout{10000};
inline constexpr int MaxResends = 5;
inline constexpr unsigned PacketPauseMs = 55;

// The port name in a port list text: leading blanks and control bytes
// skipped, up to the next such byte.
std::string PortNameFromList(const std::string &text);

// The handshake bytes the clock sent: ACK, NAK and CAN set their flags.
void TakeAnswer(const std::string &bytes, TUploadFlags &flags);

// One upload of an import file to the clock on `port`.
class TUploadTransfer {
public:
    TUploadTransfer(TCustomComPort &port, TUploadFlags &flags, TImportFile &file,
                    TUploadHost &host);

    // The whole transfer; returns when it has ended. Errors are raised after the ending.
    void Run(const std::string &fileName, const std::string &portText);

    std::chrono::milliseconds AckTimeout = DefaultAckTimeout;
    // Set by the wake-up timer when its write failed; ends the wake-up.
    std::exception_ptr WakeError;

private:
    void Transfer(const std::string &portText);
    void WakeUp();
    void SendLines();
    void SendLine(std::string line, int lineNumber);
    void AwaitAcknowledgement(const std::string &packet, int lineNumber);
    void Ending();
    void CheckLeave() const;

    TCustomComPort &Port;
    TUploadFlags &Flags;
    TImportFile &File;
    TUploadHost &Host;
};
