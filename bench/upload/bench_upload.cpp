// Upload figures against the protocol's floor: a 500-line upload to the virtual
// clock answering at once, and the cost of a wake-up nobody answers.
#include "app/Dialogs.h"
#include "app/uRZ8.h"
#include "tools/VirtualClock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

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

void UploadFigures(TForm1 &form, const QTemporaryDir &dir, bool paced) {
    constexpr int Lines = 500;
    long bytes = 0;
    const QString file = WriteImportFile(dir, Lines, bytes);
    VirtualClock::Options options;
    options.pace = paced;
    VirtualClock clock(options);
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    wall.start();
    Upload(form, clock, file);
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    const double lineTime = double(bytes) * 10.0 / 4800.0;
    const double floor = Lines * 0.055 + lineTime;
    std::printf("upload of %d lines (%s): %zu packets, wall %.3f s, floor %.3f s "
                "(500 x 55 ms + %.3f s line time), ratio %.4f, CPU %.2f %% of one core\n",
                Lines, paced ? "clock paced at 4800 bit/s" : "clock not paced",
                clock.Packets().size(), seconds, floor, lineTime, seconds / floor,
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
    QTimer::singleShot(500, [&] {
        cpu0 = CpuSeconds();
        wall.start();
    });
    QTimer::singleShot(10500, [&] {
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
