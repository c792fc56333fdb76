#include "cli/SendUpload.h"

#include "cli/Interrupt.h"
#include "serial/CPort.h"
#include "serial/CPortDiscovery.h"
#include "serial/CPortStored.h"
#include "serial/SetupApi.h"
#include "upload/Transfer.h"
#include "upload/WireTrace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

constexpr int InterruptedStatus = 130;

void Fail(const std::string &message) {
    std::fprintf(stderr, "rz8-send: %s\n", message.c_str());
}

// Lines after the head, as the transfer will count them; -1 when the file cannot be read
// (the transfer then says why).
int LinesToSend(const std::string &fileName) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName, ec))
        return -1;
    TImportFile file;
    try {
        file.Open(fileName);
    } catch (const std::exception &) {
        return -1;
    }
    int lines = 0;
    while (!file.Eof()) {
        file.ReadLine();
        ++lines;
    }
    return std::max(lines - HeaderLines, 0);
}

std::string Seconds(const QElapsedTimer &elapsed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", double(elapsed.elapsed()) / 1000.0);
    std::string s = text;
    s[s.find('.')] = ',';
    return s;
}

// Progress on one line on a terminal; otherwise a line for every hundred lines.
class TSendHost : public TUploadHost {
public:
    TSendHost(std::string portName, int linesToSend)
        : PortName(std::move(portName)), LinesToSend(linesToSend), Terminal(isatty(STDOUT_FILENO)) {
        Elapsed.start();
        WakeTimer.setInterval(1000);
        WakeTimer.setTimerType(Qt::PreciseTimer);
    }
    void ShowStatus(const std::string &text) override {
        if (text == "Ferdig")
            return;
        const int lines = Transfer->Progress.Lines;
        if (Terminal)
            std::printf("\r%s\033[K", Progress().c_str());
        else if (lines > 0 && lines % 100 == 0)
            std::printf("%s\n", Progress().c_str());
        std::fflush(stdout);
        OnLine = Terminal;
    }
    void ShowMessage(const std::string &text) override { Message = text; }
    void SetWakeTimer(bool enabled) override {
        if (!enabled) {
            WakeTimer.stop();
            return;
        }
        std::printf("Vekker klokken på %s ...%s", PortName.c_str(), Terminal ? "" : "\n");
        std::fflush(stdout);
        OnLine = Terminal;
        WakeTimer.start();
    }
    bool LeaveRequested() const override { return Interrupted; }

    // Ends the progress line, so what follows starts on a line of its own.
    void EndLine() {
        if (OnLine)
            std::printf("\n");
        OnLine = false;
    }
    std::string Progress() const {
        const TUploadProgress &p = Transfer->Progress;
        return std::to_string(p.Lines) + " av " +
               (LinesToSend < 0 ? "?" : std::to_string(LinesToSend)) + " linjer sendt, " +
               std::to_string(p.Resends) + " sendt på nytt, " + Seconds(Elapsed);
    }

    QTimer WakeTimer;
    const TUploadTransfer *Transfer = nullptr;
    std::string Message;
    bool Interrupted = false;

private:
    const std::string PortName;
    const int LinesToSend;
    const bool Terminal;
    bool OnLine = false;
    QElapsedTimer Elapsed;
};

} // namespace

int RunSend(const TSendCommandLine &cl) {
    TComPort port;
    SetStoredSettings(port);
    TUploadFlags flags;
    TImportFile file;
    TSendHost host(PortNameFromList(cl.Port), LinesToSend(cl.File));
    TUploadTransfer transfer(port, flags, file, host);
    host.Transfer = &transfer;
    std::unique_ptr<TWireTrace> trace;
    if (!cl.TracePath.empty()) {
        std::error_code ec;
        if (std::filesystem::equivalent(cl.TracePath, cl.File, ec)) {
            Fail("--trace " + cl.TracePath + " er importfilen selv; den ville blitt tømt");
            return 1;
        }
        try {
            trace = std::make_unique<TWireTrace>(cl.TracePath);
        } catch (const std::exception &error) {
            Fail(cl.TracePath + ": " + error.what());
            return 1;
        }
        trace->Watch(port);
        transfer.Trace = trace.get();
    }
    port.OnRxChar = [&](QObject *, int count) { ReadAnswer(port, count, flags, trace.get()); };
    QObject::connect(&host.WakeTimer, &QTimer::timeout, [&] { transfer.WakeTick(); });
    TInterrupt interrupt;
    QObject::connect(&interrupt, &TInterrupt::Interrupted, [&] { host.Interrupted = true; });

    try {
        transfer.Run(cl.File, cl.Port);
    } catch (const std::exception &error) {
        host.EndLine();
        Fail(error.what());
        return 1;
    }
    host.EndLine();
    const TUploadProgress &p = transfer.Progress;
    if (host.Interrupted) {
        Fail("avbrutt etter " + std::to_string(p.Lines) + " linjer; porten er lukket");
        return InterruptedStatus;
    }
    if (!host.Message.empty()) {
        Fail(host.Message);
        return 1;
    }
    if (!p.Complete) {
        Fail("klokken avbrøt etter " + std::to_string(p.Lines) + " linjer; " +
             std::to_string(p.Acknowledged) + " av " + std::to_string(p.Packets) +
             " pakker ble kvittert");
        return 1;
    }
    std::printf("Ferdig: %s, alle kvittert av klokken\n", host.Progress().c_str());
    return 0;
}

int ListPorts(std::FILE *out) {
    const TPortEnumeration found = EnumeratePresentPorts(SysfsRoot());
    if (found.Error != 0) {
        Fail("kan ikke lese portene: " + std::string(std::strerror(found.Error)));
        return 1;
    }
    if (found.Ports.empty())
        std::fprintf(out, "Ingen port funnet\n");
    for (const TPortEntry &entry : PortEntries(found.Ports))
        std::fprintf(out, "%s%s\n", entry.Text.c_str(),
                     entry.Select ? "  <- USB-tidtakeradapteren" : "");
    return 0;
}
