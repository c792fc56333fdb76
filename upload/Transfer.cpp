#include "upload/Transfer.h"

#include "serial/CPort.h"
#include "upload/ImportLine.h"
#include "upload/Protocol.h"
#include "upload/Waits.h"
#include "upload/WireTrace.h"

#include <filesystem>

namespace {

// Ends the transfer through its ending without an error box.
struct EndOfTransfer {};

// The pause after a packet counts from its write, so what the port does once the bytes are
// handed over (the lamps and the status drawn) falls inside the pause, not after it.
QDeadlineTimer PauseFromNow() {
    return QDeadlineTimer(qint64(PacketPauseMs), Qt::PreciseTimer);
}

} // namespace

void TakeAnswer(const std::string &bytes, TUploadFlags &flags) {
    for (char c : bytes) {
        if (c == ACK) {
            flags.Acknowledged = true;
            flags.PacketAcknowledged = true;
        } else if (c == NAK) {
            flags.Rejected = true;
        } else if (c == CAN) {
            flags.Cancelled = true;
        }
    }
}

void ReadAnswer(TCustomComPort &port, int count, TUploadFlags &flags, TWireTrace *trace) {
    std::string bytes;
    port.ReadString(bytes, count);
    if (trace)
        trace->Received(bytes);
    TakeAnswer(bytes, flags);
}

TUploadTransfer::TUploadTransfer(TCustomComPort &port, TUploadFlags &flags, TImportFile &file,
                                 TUploadHost &host)
    : Port(port), Flags(flags), File(file), Host(host) {}

void TUploadTransfer::Run(const std::string &fileName, const std::string &portText) {
    Progress = {};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName, ec)) {
        Host.ShowMessage(NoSuchFile(fileName));
        return;
    }
    try {
        File.Open(fileName);
        Transfer(portText);
    } catch (const EndOfTransfer &) {
        Ending();
        return;
    } catch (...) {
        Ending();
        throw;
    }
    Ending();
}

void TUploadTransfer::Transfer(const std::string &portText) {
    Port.SetPort(PortNameFromList(portText));
    Port.Open();
    WakeUp();
    if (!ReadImportHead(File)) {
        Host.ShowMessage(NotAnImportFile);
        return;
    }
    SendLines();
}

void TUploadTransfer::WakeUp() {
    Flags.Acknowledged = false;
    WakeError = nullptr;
    Host.SetWakeTimer(true);
    Flags.Cancelled = false;
    WaitUntil([this] { return Flags.Acknowledged || WakeError || Host.LeaveRequested(); });
    Host.SetWakeTimer(false);
    if (WakeError)
        std::rethrow_exception(WakeError);
    CheckLeave();
}

void TUploadTransfer::SendLines() {
    int counter = 0;
    while (!File.Eof()) {
        if (Flags.Cancelled)
            return;
        Progress.Lines = counter;
        Host.ShowStatus("Antall: " + std::to_string(counter));
        ++counter;
        if (!Port.Connected())
            return;
        TakeWaitingAnswers();
        Flags.PacketAcknowledged = false;
        Flags.Rejected = false;
        Flags.ResendCount = 0;
        SendLine(File.ReadLine(), HeaderLines + counter);
    }
    Progress.Lines = counter;
    Progress.Complete = Progress.Acknowledged == Progress.Packets;
}

// Bytes already waiting answer the line before; read now, they cannot pass for the next
// line's answer. A CAN among them still stops the loop after that line. A port that has
// gone is left to the next write, whose error is the one shown.
void TUploadTransfer::TakeWaitingAnswers() {
    try {
        ReadAnswer(Port, Port.InputQueueCount(), Flags, Trace);
    } catch (const EComPort &) {
    }
}

void TUploadTransfer::SendLine(std::string line, int lineNumber) {
    const TWireLine wire = WireLine(std::move(line));
    if (wire.Packet.empty())
        return;
    if (!wire.Lead.empty())
        Port.WriteString(wire.Lead);
    const QDeadlineTimer pauseEnd = PauseFromNow();
    Port.WriteString(wire.Packet);
    ++Progress.Packets;
    Pause(pauseEnd);
    AwaitAcknowledgement(wire.Packet, lineNumber);
    Progress.Acknowledged += Flags.PacketAcknowledged;
}

void TUploadTransfer::AwaitAcknowledgement(const std::string &packet, int lineNumber) {
    QDeadlineTimer deadline(AckTimeout, Qt::PreciseTimer);
    const auto mayResend = [this] { return Flags.Rejected && Flags.ResendCount < MaxResends; };
    for (;;) {
        if (!Port.Connected())
            throw EndOfTransfer();
        CheckLeave();
        // A CAN ends the wait at once; the line loop then stops on it.
        if (Flags.PacketAcknowledged || Flags.Cancelled)
            return;
        if (mayResend()) {
            // One copy answers one NAK: the next copy waits for the clock's answer to this
            // one, which comes only once the whole copy is on the line.
            Flags.Rejected = false;
            const QDeadlineTimer pauseEnd = PauseFromNow();
            Port.WriteString(packet);
            ++Flags.ResendCount;
            ++Progress.Resends;
            Pause(pauseEnd);
            deadline = QDeadlineTimer(AckTimeout, Qt::PreciseTimer);
            continue;
        }
        if (deadline.hasExpired())
            throw EUploadError("Klokken svarte ikke på linje " + std::to_string(lineNumber));
        WaitUntil(
            [&] {
                return Flags.PacketAcknowledged || Flags.Cancelled || mayResend() ||
                       Host.LeaveRequested();
            },
            deadline);
    }
}

void TUploadTransfer::Pause(const QDeadlineTimer &end) {
    vent(end, [this] { return Host.LeaveRequested(); });
}

void TUploadTransfer::WakeTick() {
    std::string can;
    IntToAscii(CAN, can);
    try {
        Port.WriteString(can);
    } catch (...) {
        Host.SetWakeTimer(false);
        WakeError = std::current_exception();
    }
}

void TUploadTransfer::Ending() {
    Host.ShowStatus("Ferdig");
    File.Close();
    Port.Close();
}

void TUploadTransfer::CheckLeave() const {
    if (Host.LeaveRequested())
        throw EndOfTransfer();
}
