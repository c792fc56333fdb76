// CPU used by an open idle port for 10 s, then for 10 s after its device hung up, as
// percent of one core. Goal: <= 0.5 % each.

#include "PtyPair.h"
#include "serial/CPort.h"
#include "serial/CPortStored.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double PercentWhileIdle(int seconds) {
    const double before = CpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    return (CpuSeconds() - before) * 100.0 / seconds;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    constexpr int Seconds = 10;
    PtyPair pty;
    TComPort port;
    SetStoredSettings(port);
    port.SetPort(pty.SlavePath());
    port.OnRxChar = [&](QObject *, int count) {
        std::string s;
        port.ReadString(s, count);
    };
    port.Open();
    pty.Write("\x06"); // one delivery first, so the idle time follows real traffic
    const double open = PercentWhileIdle(Seconds);
    pty.CloseMaster();
    const double hungUp = PercentWhileIdle(Seconds);
    std::printf("CPU of an open idle port over %d s: %.3f %% of one core (goal <= 0.5 %%)\n",
                Seconds, open);
    std::printf("CPU after its device hung up, %d s: %.3f %% of one core (goal <= 0.5 %%)\n",
                Seconds, hungUp);
    port.Close();
    return 0;
}
