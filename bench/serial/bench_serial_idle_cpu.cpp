// CPU used by an open idle port for 10 s, then for 10 s after its device hung up, as
// percent of one core. Goal: <= 0.5 % each.

#include "IdleCpu.h"
#include "PtyPair.h"
#include "serial/CPort.h"
#include "serial/CPortStored.h"

#include <QCoreApplication>
#include <cstdio>

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
