// Upload figures against the protocol's floor: a 500-line upload to the virtual
// clock answering at once, and the cost of a wake-up nobody answers.
#include "IdleCpu.h"
#include "app/Dialogs.h"
#include "app/uRZ8.h"
#include "tools/VirtualClock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

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

void Upload(TForm1 &form, VirtualClock &clock, const QString &file) {
    form.Edit2->setText(file);
    form.cbserieporter->setEditText(QString::fromStdString(clock.SlavePath()));
    QTimer::singleShot(0, [&clock] { clock.Send(std::string(1, VirtualClock::ACK)); });
    form.BitBtn2Click(&form);
}

// The least time the protocol allows: after each packet the program pauses 55 ms, and the
// next packet cannot go before the clock has had the packet and answered it. The write
// returns once the bytes are queued, so the pause and the line time overlap.
double ProtocolFloor(const VirtualClock &clock, bool paced) {
    const double byteTime = std::chrono::duration<double>(VirtualClock::ByteTime).count();
    double floor = 0;
    for (const auto &packet : clock.Packets()) {
        const double exchange = paced ? double(packet.bytes.size() + 1) * byteTime : 0.0;
        floor += std::max(0.055, exchange);
    }
    return floor + (paced ? double(clock.ClosingCans()) * byteTime : 0.0);
}

void UploadFigures(TForm1 &form, const QTemporaryDir &dir, bool paced) {
    constexpr int Lines = 500;
    long bytes = 0;
    const QString file = WriteImportFile(dir, Lines, bytes);
    VirtualClock::Options options;
    options.pace = paced;
    // The clock tells packets apart by this gap; it is the stand-in's, not the protocol's.
    options.quietGap = std::chrono::milliseconds(5);
    VirtualClock clock(options);
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    wall.start();
    Upload(form, clock, file);
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    const double floor = ProtocolFloor(clock, paced);
    std::printf("upload of %d lines (%s): %zu packets, %ld bytes, wall %.3f s, floor %.3f s, "
                "ratio %.4f, CPU %.2f %% of one core (program and clock)\n",
                Lines, paced ? "line paced at 4800 bit/s" : "line not paced",
                clock.Packets().size(), bytes, seconds, floor, seconds / floor,
                100.0 * cpu / seconds);
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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TQuietDialogs dialogs;
    SetDialogs(&dialogs);
    QTemporaryDir dir;
    TForm1 form;
    form.show();
    UploadFigures(form, dir, false);
    UploadFigures(form, dir, true);
    UnansweredWakeUp(form, dir);
    SetDialogs(nullptr);
    return 0;
}
