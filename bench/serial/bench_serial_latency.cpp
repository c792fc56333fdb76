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
#include <optional>
#include <vector>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    using Clock = std::chrono::steady_clock;
    constexpr int Samples = 1000;
    constexpr int TimeoutMs = 5000;

    PtyPair pty;
    TComPort port;
    SetStoredSettings(port);
    port.SetPort(pty.SlavePath());
    QEventLoop *waiting = nullptr;
    // A sample ends when every byte sent so far has been read: a byte of a timed-out sample
    // that comes late then cannot end the next sample early.
    long sent = 0;
    long received = 0;
    std::optional<Clock::time_point> arrived;
    port.OnRxChar = [&](QObject *, int count) {
        const auto now = Clock::now();
        std::string s;
        port.ReadString(s, count);
        received += long(s.size());
        if (received < sent || arrived)
            return;
        arrived = now;
        if (waiting)
            waiting->quit();
    };
    port.Open();

    std::vector<double> micros;
    micros.reserve(Samples);
    int timedOut = 0;
    for (int i = 0; i < Samples; ++i) {
        QEventLoop loop;
        waiting = &loop;
        QTimer::singleShot(TimeoutMs, &loop, &QEventLoop::quit);
        arrived.reset();
        ++sent;
        const auto start = Clock::now();
        pty.Write("\x06");
        loop.exec();
        waiting = nullptr;
        if (!arrived) {
            ++timedOut;
            continue;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(*arrived - start).count());
    }
    std::printf("byte -> OnRxChar on the window thread, %d bytes\n", Samples);
    if (timedOut > 0)
        std::printf("  %d timed out (no delivery within %d ms), left out of the figures\n",
                    timedOut, TimeoutMs);
    if (micros.empty())
        return 1;
    std::sort(micros.begin(), micros.end());
    const size_t n = micros.size();
    std::printf("  median %.1f us, p99 %.1f us, max %.1f us over %zu (goal: median <= 500 us)\n",
                micros[n / 2], micros[n * 99 / 100], micros.back(), n);
    return timedOut > 0 ? 1 : 0;
}
