// Latency from a byte written by the device (pty master) to OnRxChar running on the window
// thread, over 1,000 bytes. Goal: median <= 0.5 ms.

#include "PtyPair.h"
#include "serial/CPort.h"
#include "serial/CPortStored.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    using Clock = std::chrono::steady_clock;
    constexpr int Samples = 1000;

    PtyPair pty;
    TComPort port;
    SetStoredSettings(port);
    port.SetPort(pty.SlavePath());
    QEventLoop *waiting = nullptr;
    Clock::time_point arrived;
    port.OnRxChar = [&](QObject *, int count) {
        arrived = Clock::now();
        std::string s;
        port.ReadString(s, count);
        if (waiting)
            waiting->quit();
    };
    port.Open();

    std::vector<double> micros;
    micros.reserve(Samples);
    for (int i = 0; i < Samples; ++i) {
        QEventLoop loop;
        waiting = &loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        const auto sent = Clock::now();
        pty.Write("\x06");
        loop.exec();
        waiting = nullptr;
        micros.push_back(std::chrono::duration<double, std::micro>(arrived - sent).count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf("byte -> OnRxChar on the window thread, %d bytes\n", Samples);
    std::printf("  median %.1f us, p99 %.1f us, max %.1f us (goal: median <= 500 us)\n",
                micros[Samples / 2], micros[Samples * 99 / 100], micros.back());
    return 0;
}
