// Port discovery over a fake tree of 256 serial ports (goal: at most 10 ms a run), and the CPU
// of the idle window with its udev monitor attached (goal: at most 0.1 % of one core).

#include "FakeSysfs.h"
#include "IdleCpu.h"
#include "app/uRZ8.h"
#include "serial/CPortDiscovery.h"
#include "serial/CPortMonitor.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A machine with 4 on-board ports, 28 placeholders, 64 virtual consoles and 252 USB ports,
// one of them the timer adapter.
void BuildTree(TFakeSysfs &sysfs) {
    for (int i = 0; i < 32; ++i)
        sysfs.AddOnboardPort(QString("ttyS%1").arg(i), i < 4 ? 4 : 0);
    for (int i = 0; i < 64; ++i)
        sysfs.AddVirtualTty(QString("tty%1").arg(i));
    for (int i = 0; i < 252; ++i)
        sysfs.AddUsbPort(QString("ttyUSB%1").arg(i), "067b", i == 200 ? "6001" : "2303",
                         QString("SN%1").arg(i));
}

template <class F> double MedianMs(int runs, F run) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    TFakeSysfs sysfs;
    BuildTree(sysfs);
    const std::string root = sysfs.Root().toStdString();
    const size_t found = EnumeratePresentPorts(root).Ports.size();
    const double platform = MedianMs(50, [&] { PortEntries(EnumeratePresentPorts(root).Ports); });

    TForm1 form;
    const auto firstStart = Clock::now();
    form.visklokke();
    const double first =
        std::chrono::duration<double, std::milli>(Clock::now() - firstStart).count();
    const double later = MedianMs(50, [&] { form.visklokke(); });
    std::printf("%zu ports found; %d entries, selected \"%s\"\n", found,
                form.cbserieporter->count(), qPrintable(form.cbserieporter->currentText()));
    std::printf("enumeration and entries: %.2f ms a run (median of 50)\n", platform);
    std::printf("visklokke, first run filling the list: %.2f ms (goal <= 10 ms)\n", first);
    std::printf("visklokke, later runs: %.2f ms a run (median of 50, goal <= 10 ms)\n", later);

    constexpr int Seconds = 10;
    {
        TPortMonitor monitor([] { std::puts("a port appeared"); });
        const double idle = PercentWhileIdle(Seconds);
        std::printf("CPU of the udev monitor alone (%s) over %d s: %.3f %% of one core "
                    "(goal <= 0.1 %%)\n",
                    monitor.Active() ? "attached" : "no udev", Seconds, idle);
    }
    form.show();
    const double window = PercentWhileIdle(Seconds);
    std::printf("CPU of the idle window, shown, monitor attached, over %d s: %.3f %% of one core "
                "(the text cursor blinks in the file field)\n",
                Seconds, window);
    return 0;
}
