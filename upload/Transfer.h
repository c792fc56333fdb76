#pragma once

#include "upload/ImportFile.h"

#include <chrono>
#include <exception>
#include <string>

class QDeadlineTimer;
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
    // Status label text, painted with the next events handled.
    virtual void ShowStatus(const std::string &text) = 0;
    virtual void ShowMessage(const std::string &text) = 0;
    // Runs or stops the wake-up timer, which calls WakeTick once a second.
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
// The port's received-data handler: reads the count bytes waiting and takes them.
void ReadAnswer(TCustomComPort &port, int count, TUploadFlags &flags);

// One upload of an import file to the clock on `port`.
class TUploadTransfer {
public:
    TUploadTransfer(TCustomComPort &port, TUploadFlags &flags, TImportFile &file,
                    TUploadHost &host);

    // The whole transfer; returns when it has ended. Errors are raised after the ending.
    void Run(const std::string &fileName, const std::string &portText);

    // Answers the host's wake-up timer: one CAN. A failing write stops the timer and ends
    // the wake-up; its error is raised after the ending, so it is shown once.
    void WakeTick();

    // How long the clock may take to answer a copy of a packet.
    std::chrono::milliseconds AckTimeout = DefaultAckTimeout;

private:
    void Transfer(const std::string &portText);
    void WakeUp();
    void SendLines();
    void SendLine(std::string line, int lineNumber);
    void AwaitAcknowledgement(const std::string &packet, int lineNumber);
    void Pause(const QDeadlineTimer &end);
    void Ending();
    void CheckLeave() const;

    TCustomComPort &Port;
    TUploadFlags &Flags;
    TImportFile &File;
    TUploadHost &Host;
    std::exception_ptr WakeError;
};
