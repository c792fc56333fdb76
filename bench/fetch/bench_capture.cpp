// Captures 1 MB of records from the virtual clock through a pseudo-terminal, unpaced, in
// the window as a user would, and checks that every byte was logged and every end byte
// answered. Prints the wall time and the process's CPU time per byte (window thread, the
// port's event thread and the clock's thread together).

#include "IdleCpu.h"
#include "app/Dialogs.h"
#include "app/uRZ8.h"
#include "tools/VirtualClock.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <random>

namespace {

// Errors would otherwise open a modal box; here they are printed.
class TPrintedDialogs : public TDialogs {
public:
    void ShowError(QWidget *, const QString &, const QString &text) override {
        std::fprintf(stderr, "error shown: %s\n", qPrintable(text));
        ++Errors;
    }
    int Errors = 0;
};

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TPrintedDialogs dialogs;
    SetDialogs(&dialogs);

    // Records of 8 to 40 bytes whose data holds no control byte, so the expected log is
    // the records' values joined line by line.
    constexpr std::size_t Total = 1 << 20;
    std::mt19937 random(4800);
    std::uniform_int_distribution<int> length(4, 36), value(0, 255);
    VirtualClock::Options options;
    QByteArray expected;
    std::size_t bytes = 0;
    while (bytes < Total) {
        std::string record(1, VirtualClock::STX);
        record += char(80);
        for (int n = length(random); n > 0; --n) {
            int v;
            do
                v = value(random);
            while (v == VirtualClock::STX || v == VirtualClock::ETX || v == VirtualClock::CAN);
            record += char(v);
        }
        record += VirtualClock::ETX;
        record += char(value(random) | 0x80);
        bytes += record.size();
        if (!expected.isEmpty())
            expected += " \r\n";
        for (std::size_t i = 0; i < record.size(); ++i)
            expected += (i ? "," : "") + QByteArray::number(static_cast<unsigned char>(record[i]));
        options.records.push_back(std::move(record));
    }
    VirtualClock clock(options);

    const QString log = QDir::temp().filePath("rz8-bench-capture.log");
    TForm1 form;
    form.CaptureLogPath = log.toStdString();
    form.ComPort.SetPort(clock.SlavePath());
    form.Button_OpenClick(&form);

    const double cpu0 = CpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    clock.StartFetch();
    // Woken by each delivery; the timer only bounds a wait in which nothing happens.
    QTimer tick;
    tick.start(50);
    while (!clock.Fetch().done && !clock.Fetch().gaveUp && form.CaptureRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double cpu = CpuSeconds() - cpu0;
    form.Button_OpenClick(&form);

    QFile file(log);
    const bool read = file.open(QIODevice::ReadOnly);
    const QByteArray got = read ? file.readAll() : QByteArray();
    const VirtualClock::FetchState fetch = clock.Fetch();
    const bool ok = fetch.done && got == expected && fetch.acks == int(options.records.size()) &&
                    dialogs.Errors == 0;
    std::printf("records: %zu, bytes: %zu, log: %lld bytes\n", options.records.size(), bytes,
                static_cast<long long>(got.size()));
    std::printf("every byte logged: %s, every end byte answered: %s (%d ACKs)\n",
                got == expected ? "yes" : "NO",
                fetch.acks == int(options.records.size()) ? "yes" : "NO", fetch.acks);
    std::printf("wall time: %.3f s (%.0f records/s)\n", wall, options.records.size() / wall);
    std::printf("CPU time: %.3f s, %.2f us per byte\n", cpu, cpu / double(bytes) * 1e6);
    QFile::remove(log);
    SetDialogs(nullptr);
    return ok ? 0 : 1;
}
