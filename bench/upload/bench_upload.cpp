// Upload figures against the protocol's floor: a 500-line upload to the virtual
// clock answering at once, and the cost of a wake-up nobody answers. Offscreen by default;
// --display runs the window on the session's platform (xcb with DISPLAY set), where a
// repaint costs a trip to the X server.
#include "IdleCpu.h"
#include "app/Dialogs.h"
#include "app/uRZ8.h"
#include "tools/VirtualClock.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

class TQuietDialogs : public TDialogs {
public:
    void ShowMessage(QWidget *, const QString &text) override {
        std::printf("message: %s\n", qPrintable(text));
    }
    void ShowError(QWidget *, const QString &, const QString &text) override {
        std::printf("error: %s\n", qPrintable(text));
    }
};

QString WriteImportFile(const QTemporaryDir &dir, int lines, long &bytesOnLine) {
    const QString path = dir.filePath("bench.RZ7");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("<?xml version=\"1.0\"?>\r\n<RZ7>\r\n<event>\r\n<version>\r\n<names>\r\n");
    bytesOnLine = 0;
    for (int i = 0; i < lines - 1; ++i) {
        file.write(QString("<name>,78,%1,%2,75,97,114,105,32,78,111,114,100,109,97,110,110\r\n")
                       .arg(i % 200)
                       .arg(i / 200)
                       .toLatin1());
        bytesOnLine += 1 + 17 + 2;
    }
    file.write("</names>\r\n</RZ7>\r\n");
    bytesOnLine += 1 + 2;
    return path;
}

// Handles the window's events for a while: its first show and activation, or a repaint.
void Settle(int ms) {
    QEventLoop settle;
    QTimer::singleShot(ms, &settle, &QEventLoop::quit);
    settle.exec();
}

// Fills in the file and the port as a user would, and lets the window paint them: when a
// user clicks, the window has long shown what was typed.
void FillIn(TForm1 &form, const VirtualClock &clock, const QString &file) {
    form.Edit2->setText(file);
    form.cbserieporter->setEditText(QString::fromStdString(clock.SlavePath()));
    Settle(100);
}

// Clicks "Send data"; the clock answers the wake-up at once.
void Upload(TForm1 &form, VirtualClock &clock) {
    QTimer::singleShot(0, [&clock] { clock.Send(std::string(1, VirtualClock::ACK)); });
    form.BitBtn2Click(&form);
}

QStringList Threads() {
    return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

// CPU seconds of one thread of this process so far, user and system, counted in clock ticks.
double ThreadCpuSeconds(const QString &tid) {
    QFile stat("/proc/self/task/" + tid + "/stat");
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which ends at the last ')': utime is the 12th.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// The least time the protocol allows: after each packet the program pauses 55 ms, and the
// next packet cannot go before the clock has had the packet and answered it. The write
// returns once the bytes are queued, so the pause and the line time overlap.
double PacketFloor(const VirtualClock::Packet &packet, bool paced) {
    const double byteTime = std::chrono::duration<double>(VirtualClock::ByteTime).count();
    const double exchange = paced ? double(packet.bytes.size() + 1) * byteTime : 0.0;
    return std::max(0.055, exchange);
}

double ProtocolFloor(const VirtualClock &clock, bool paced) {
    const double byteTime = std::chrono::duration<double>(VirtualClock::ByteTime).count();
    double floor = 0;
    for (const auto &packet : clock.Packets())
        floor += PacketFloor(packet, paced);
    return floor + (paced ? double(clock.ClosingCans()) * byteTime : 0.0);
}

double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Where the time above the floor went: before the first packet (port open, wake-up), from
// one packet to the next over its floor, and after the last one's floor (the ending).
void Overshoot(const VirtualClock &clock, bool paced, std::chrono::steady_clock::time_point start,
               std::chrono::steady_clock::time_point end) {
    const auto packets = clock.Packets();
    if (packets.size() < 2)
        return;
    std::vector<double> late;
    for (std::size_t i = 0; i + 1 < packets.size(); ++i)
        late.push_back(Ms(packets[i + 1].time - packets[i].time) -
                       1000 * PacketFloor(packets[i], paced));
    double sum = 0;
    for (const double ms : late)
        sum += ms;
    std::sort(late.begin(), late.end());
    const double tail = Ms(end - packets.back().time) - 1000 * PacketFloor(packets.back(), paced);
    std::printf("  above the floor: before the first packet %.2f ms; a packet mean %.3f ms, "
                "median %.3f, p90 %.3f, max %.3f; after the last %.2f ms\n",
                Ms(packets.front().time - start), sum / double(late.size()), late[late.size() / 2],
                late[late.size() * 9 / 10], late.back(), tail);
}

void UploadFigures(TForm1 &form, const QTemporaryDir &dir, bool paced) {
    constexpr int Lines = 500;
    long bytes = 0;
    const QString file = WriteImportFile(dir, Lines, bytes);
    VirtualClock::Options options;
    options.pace = paced;
    // The clock tells packets apart by this gap; it is the stand-in's, not the protocol's.
    options.quietGap = std::chrono::milliseconds(5);
    const QStringList before = Threads();
    VirtualClock clock(options);
    // The clock's own thread, told apart so the program's share can be given.
    QString clockThread;
    for (const QString &tid : Threads())
        if (!before.contains(tid))
            clockThread = tid;
    FillIn(form, clock, file);
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    const double clockCpu0 = ThreadCpuSeconds(clockThread);
    const auto start = std::chrono::steady_clock::now();
    wall.start();
    Upload(form, clock);
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const auto end = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds() - cpu0;
    const double clockCpu = ThreadCpuSeconds(clockThread) - clockCpu0;
    const double floor = ProtocolFloor(clock, paced);
    std::printf("upload of %d lines (%s): %zu packets, %ld bytes, wall %.3f s, floor %.3f s, "
                "ratio %.4f, CPU %.2f %% of one core (program %.2f %%, clock %.2f %%)\n",
                Lines, paced ? "line paced at 4800 bit/s" : "line not paced",
                clock.Packets().size(), bytes, seconds, floor, seconds / floor,
                100.0 * cpu / seconds, 100.0 * (cpu - clockCpu) / seconds,
                100.0 * clockCpu / seconds);
    Overshoot(clock, paced, start, end);
}

void UnansweredWakeUp(TForm1 &form, const QTemporaryDir &dir) {
    long bytes = 0;
    const QString file = WriteImportFile(dir, 2, bytes);
    VirtualClock::Options options;
    options.wakeAtCan = 0;
    VirtualClock clock(options);
    form.Edit2->setText(file);
    form.cbserieporter->setEditText(QString::fromStdString(clock.SlavePath()));
    double cpu0 = 0;
    QElapsedTimer wall;
    QTimer::singleShot(500, Qt::PreciseTimer, [&] {
        cpu0 = CpuSeconds();
        wall.start();
    });
    QTimer::singleShot(10500, Qt::PreciseTimer, [&] {
        const double cpu = CpuSeconds() - cpu0;
        const double seconds = double(wall.nsecsElapsed()) / 1e9;
        std::printf("unanswered wake-up: %.2f s, %zu CANs, CPU %.3f %% of one core\n", seconds,
                    clock.WakeCans().size(), 100.0 * cpu / seconds);
        clock.Send(std::string(1, VirtualClock::ACK));
    });
    form.BitBtn2Click(&form);
}

} // namespace

int main(int argc, char *argv[]) {
    const bool display = argc > 1 && std::strcmp(argv[1], "--display") == 0;
    if (!display)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TQuietDialogs dialogs;
    SetDialogs(&dialogs);
    QTemporaryDir dir;
    TForm1 form;
    form.show();
    // An activation lists the ports again, which would replace a port text typed before it.
    Settle(500);
    std::printf("platform %s; the window idle: CPU %.2f %% of one core\n",
                qPrintable(QGuiApplication::platformName()), PercentWhileIdle(5));
    UploadFigures(form, dir, false);
    UploadFigures(form, dir, true);
    UnansweredWakeUp(form, dir);
    SetDialogs(nullptr);
    return 0;
}
