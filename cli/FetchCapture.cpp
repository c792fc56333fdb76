#include "cli/FetchCapture.h"

#include "cli/Interrupt.h"
#include "fetch/CaptureOnPort.h"
#include "serial/CPort.h"
#include "serial/CPortStored.h"
#include "upload/ImportLine.h"
#include "upload/Protocol.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

void Fail(const std::exception &error) {
    std::fprintf(stderr, "rz8-fetch: %s\n", error.what());
}

} // namespace

int RunFetchCapture(const std::string &portName, const std::string &logPath, int silenceSeconds) {
    TUploadFlags flags;
    TComPort port;
    SetCaptureStoredSettings(port);
    port.SetPort(portName);
    TCapture capture(flags, [&port] {
        std::string ack;
        IntToAscii(ACK, ack);
        port.WriteString(ack);
    });
    TCaptureOnPort session(port, capture);

    const bool terminal = isatty(STDERR_FILENO);
    const auto show = [&](bool last) {
        if (terminal)
            std::fprintf(stderr, "\rPoster mottatt: %ld%s", capture.Records, last ? "\n" : "");
        else if (last)
            std::fprintf(stderr, "Poster mottatt: %ld\n", capture.Records);
    };
    int status = 0;
    const auto finish = [&](int exitStatus) {
        status = exitStatus;
        QCoreApplication::exit(exitStatus);
    };

    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(silenceSeconds * 1000);
    QObject::connect(&silence, &QTimer::timeout, [&] { finish(0); });
    TInterrupt interrupt;
    QObject::connect(&interrupt, &TInterrupt::Interrupted, [&] { finish(0); });
    port.OnRxChar = [&](QObject *, int count) {
        try {
            session.Receive(count);
        } catch (const std::exception &error) {
            show(true);
            Fail(error);
            finish(1);
            return;
        }
        if (silenceSeconds > 0)
            silence.start();
        show(false);
    };

    try {
        session.Open(logPath);
    } catch (const std::exception &error) {
        Fail(error);
        return 1;
    }
    if (silenceSeconds > 0)
        silence.start();
    show(false);
    QCoreApplication::exec();
    try {
        if (session.Running())
            session.Close();
    } catch (const std::exception &error) {
        Fail(error);
        status = 1;
    }
    show(true);
    return status;
}
