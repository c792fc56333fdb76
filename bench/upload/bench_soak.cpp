// A long upload through the real transfer against a clock that misbehaves at random (the
// same every run): 5 % NAK, answers late by up to 50 ms, stray bytes around its answers and
// now and then a second ACK. Checks from the clock's record that every line was accepted in
// order and once, and that the transfer claims success only then. A second run unplugs the
// clock at a random line. Each clock runs in a child process, so this process's memory is
// the transfer's alone. Usage: bench_soak [--lines N] [--seed S]
#include "IdleCpu.h"
#include "serial/CPort.h"
#include "serial/CPortStored.h"
#include "tools/VirtualClock.h"
#include "upload/Transfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

long VmRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 20, '\n');
    }
    return -1;
}

// True while some descriptor of this process leads to `path`.
bool HoldsPath(const std::string &path) {
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        if (std::filesystem::read_symlink(entry.path(), linkError) == path)
            return true;
    }
    return false;
}

// Keeps only the last status: a recorded list would grow with the run and hide whether
// the transfer's own memory stays flat.
class THost : public TUploadHost {
public:
    void ShowStatus(const std::string &text) override { LastStatus = text; }
    void ShowMessage(const std::string &text) override { Messages.push_back(text); }
    void SetWakeTimer(bool enabled) override {
        if (enabled)
            WakeTimer.start();
        else
            WakeTimer.stop();
    }
    bool LeaveRequested() const override { return false; }
    std::string LastStatus;
    std::vector<std::string> Messages;
    QTimer WakeTimer;
};

// The misbehaving clock's answers, and the time they make the transfer wait at least.
struct TFaultyAnswers {
    explicit TFaultyAnswers(unsigned seed) : Random(seed) {}
    VirtualClock::Reply operator()(const VirtualClock::Packet &p) {
        std::lock_guard lock(Mutex);
        VirtualClock::Reply reply;
        const bool nak = p.attempt < 3 && Random() % 100 < 5;
        reply.delay = std::chrono::milliseconds(Random() % 51);
        // Stray bytes are none of the protocol's answers.
        auto stray = [this] {
            static constexpr char Bytes[] = {0x00, 0x41, 0x7F, char(0xFF), 0x0D, 0x0A, 0x03};
            std::string s;
            for (unsigned n = Random() % 4; n > 0; --n)
                s += Bytes[Random() % sizeof Bytes];
            return s;
        };
        reply.bytes = (Random() % 5 == 0 ? stray() : "") +
                      std::string(1, nak ? VirtualClock::NAK : VirtualClock::ACK);
        if (!nak && Random() % 20 == 0) {
            reply.bytes += std::string(1, VirtualClock::ACK);
            ++SecondAcks;
        }
        if (Random() % 5 == 0)
            reply.bytes += stray();
        // The pause after a copy and the clock's delay run at the same time.
        Floor += std::max(reply.delay, std::chrono::milliseconds(PacketPauseMs));
        Naks += nak;
        return reply;
    }
    std::mutex Mutex;
    std::mt19937 Random;
    std::chrono::milliseconds Floor{0};
    int Naks = 0;
    int SecondAcks = 0;
};

QString WriteImportFile(const QTemporaryDir &dir, int lines) {
    const QString path = dir.filePath("soak.RZ7");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("<?xml?>\r\n<RZ7>\r\n\r\n\r\n");
    for (int i = 0; i < lines - 1; ++i)
        file.write(QString("<name>,%1,%2,%3,%4\r\n")
                       .arg(i % 256)
                       .arg(i / 256 % 256)
                       .arg(65 + i % 26)
                       .arg(i % 7)
                       .toLatin1());
    file.write("</RZ7>\r\n");
    return path;
}

// Every line taken once, in order: the clock's record of first sendings and re-sends,
// each re-send right after a refused copy of the same line.
bool AcceptedInOrder(const std::vector<VirtualClock::Packet> &packets, int lines,
                     std::string &why) {
    int expected = 0;
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const auto &p = packets[i];
        if (!p.checksumOk) {
            why = "bad checksum at copy " + std::to_string(i);
            return false;
        }
        if (p.attempt == 0) {
            if (p.index != expected) {
                why = "line " + std::to_string(p.index) + " where " + std::to_string(expected) +
                      " was due";
                return false;
            }
            ++expected;
        } else if (p.index != expected - 1) {
            why = "re-send of line " + std::to_string(p.index) + " out of turn";
            return false;
        }
    }
    if (expected != lines) {
        why = std::to_string(expected) + " of " + std::to_string(lines) + " lines sent";
        return false;
    }
    return true;
}

// A virtual clock in a child process, forked before this process has threads. It sends
// its line's path, then waits for a byte from us and sends back what its record shows.
class TClockProcess {
public:
    // `during` runs in the child beside the upload; `report` once the upload has ended.
    TClockProcess(VirtualClock::Options options, const std::function<void(VirtualClock &)> &during,
                  const std::function<std::string(VirtualClock &)> &report) {
        int down[2], up[2];
        if (pipe(down) != 0 || pipe(up) != 0)
            std::abort();
        Pid = fork();
        if (Pid == 0) {
            close(down[1]);
            close(up[0]);
            VirtualClock clock(std::move(options));
            WriteLine(up[1], clock.SlavePath());
            std::thread beside([&] { during(clock); });
            char go;
            (void)!read(down[0], &go, 1);
            beside.join();
            WriteLine(up[1], report(clock));
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        ToChild = down[1];
        FromChild = fdopen(up[0], "r");
        SlavePath = ReadLine();
    }
    ~TClockProcess() {
        close(ToChild);
        fclose(FromChild);
        waitpid(Pid, nullptr, 0);
    }
    // The child's report once the upload has ended.
    std::string Report() {
        (void)!write(ToChild, "x", 1);
        return ReadLine();
    }
    std::string SlavePath;

private:
    static void WriteLine(int fd, const std::string &text) {
        const std::string line = text + "\n";
        (void)!write(fd, line.data(), line.size());
    }
    std::string ReadLine() {
        char buffer[4096] = {};
        if (!fgets(buffer, sizeof buffer, FromChild))
            return {};
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        return line;
    }
    pid_t Pid = -1;
    int ToChild = -1;
    FILE *FromChild = nullptr;
};

struct TRig {
    explicit TRig(std::string slavePath)
        : SlavePath(std::move(slavePath)), Transfer(Port, Flags, File, Host) {
        SetStoredSettings(Port);
        Port.OnRxChar = [this](QObject *, int count) { ReadAnswer(Port, count, Flags); };
        Host.WakeTimer.setInterval(1000);
        QObject::connect(&Host.WakeTimer, &QTimer::timeout, [this] { Transfer.WakeTick(); });
        Transfer.AckTimeout = 2s;
    }
    // The error raised, or "". Keeps the run's wall time and CPU.
    std::string Run(const QString &path) {
        const double cpuStart = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        std::string error;
        try {
            Transfer.Run(path.toStdString(), SlavePath);
        } catch (const std::exception &e) {
            error = e.what();
        }
        Seconds = wall.elapsed() / 1000.0;
        Cpu = CpuSeconds() - cpuStart;
        return error;
    }
    std::string SlavePath;
    double Seconds = 0;
    double Cpu = 0;
    TComPort Port;
    TUploadFlags Flags;
    TImportFile File;
    THost Host;
    TUploadTransfer Transfer;
};

VirtualClock::Options Options(const std::shared_ptr<TFaultyAnswers> &answers) {
    VirtualClock::Options options;
    options.quietGap = 5ms;
    options.responder = [answers](const VirtualClock::Packet &p) { return (*answers)(p); };
    return options;
}

// The soak's clock, forked before the upload: its report is "in-order copies NAKs
// second-ACKs floor-ms why".
std::unique_ptr<TClockProcess> SoakClock(int lines, unsigned seed) {
    auto answers = std::make_shared<TFaultyAnswers>(seed);
    return std::make_unique<TClockProcess>(
        Options(answers), [](VirtualClock &) {},
        [answers, lines](VirtualClock &clock) {
            const auto packets = clock.Packets();
            std::string why = "every line once, in order";
            const bool inOrder = AcceptedInOrder(packets, lines, why);
            return std::to_string(inOrder) + " " + std::to_string(packets.size()) + " " +
                   std::to_string(answers->Naks) + " " + std::to_string(answers->SecondAcks) + " " +
                   std::to_string(answers->Floor.count()) + " " + why;
        });
}

bool Soak(TClockProcess &clock, const QTemporaryDir &dir, int lines, unsigned seed) {
    const QString path = WriteImportFile(dir, lines);
    TRig rig(clock.SlavePath);
    const long rssStart = VmRssKiB();
    const std::string error = rig.Run(path);
    const long rssEnd = VmRssKiB();
    const double seconds = rig.Seconds;
    const double cpu = rig.Cpu;

    int inOrder = 0, copies = 0, naks = 0, secondAcks = 0, whyAt = 0;
    long long floorMs = 0;
    const std::string report = clock.Report();
    std::sscanf(report.c_str(), "%d %d %d %d %lld %n", &inOrder, &copies, &naks, &secondAcks,
                &floorMs, &whyAt);
    const bool claimed =
        error.empty() && rig.Host.Messages.empty() && rig.Host.LastStatus == "Ferdig";
    const double floor = double(floorMs) / 1000.0;
    std::printf("soak: %d lines, %d copies (%d NAK, %d second ACKs), seed %u\n", lines, copies,
                naks, secondAcks, seed);
    std::printf("  wall %.1f s, floor %.1f s (pauses and scripted delays), over the floor "
                "%.1f s = %.1f ms a copy\n",
                seconds, floor, seconds - floor, (seconds - floor) * 1000.0 / std::max(copies, 1));
    std::printf("  CPU %.2f s (%.1f %% of the wall)\n", cpu, cpu * 100.0 / seconds);
    std::printf("  VmRSS of the uploading process %ld KiB at start, %ld KiB at end (%+ld KiB)\n",
                rssStart, rssEnd, rssEnd - rssStart);
    std::printf("  clock's record: %s; transfer: %s\n", report.c_str() + whyAt,
                error.empty() ? "success" : error.c_str());
    const bool ok = inOrder == 1 && claimed;
    std::printf("  %s\n", ok ? "OK" : "FAULT: success claimed without the clock's record");
    return ok;
}

// The unplugged run's clock: it pulls its line after a random copy; its report is
// "pulled".
std::unique_ptr<TClockProcess> UnpluggedClock(int lines, unsigned seed, int &atCopy) {
    atCopy = int(std::mt19937(seed)() % unsigned(lines));
    return std::make_unique<TClockProcess>(
        Options(std::make_shared<TFaultyAnswers>(seed + 1)),
        [atCopy](VirtualClock &clock) {
            clock.WaitFor([&] { return int(clock.Packets().size()) > atCopy; }, 600s);
            clock.Unplug();
        },
        [](VirtualClock &) { return std::string("pulled"); });
}

bool Unplugged(TClockProcess &clock, const QTemporaryDir &dir, int lines, int atCopy) {
    const QString path = WriteImportFile(dir, lines);
    TRig rig(clock.SlavePath);
    const std::string error = rig.Run(path);
    const double seconds = rig.Seconds;
    const double cpu = rig.Cpu;
    const bool pulled = clock.Report() == "pulled";
    const bool released = !rig.Port.Connected() && !HoldsPath(rig.SlavePath);
    std::printf("unplugged after copy %d (%d lines): %s after %.1f s, CPU %.2f s (%.1f %%), "
                "status \"%s\", port %s\n",
                atCopy, lines, error.empty() ? "no error" : ("error \"" + error + "\"").c_str(),
                seconds, cpu, cpu * 100.0 / seconds, rig.Host.LastStatus.c_str(),
                released ? "released" : "still held");
    const bool ok = pulled && !error.empty() && released && rig.Host.LastStatus == "Ferdig";
    std::printf("  %s\n", ok ? "OK" : "FAULT");
    return ok;
}

} // namespace

int main(int argc, char *argv[]) {
    int lines = 10000;
    unsigned seed = 11;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--lines") == 0)
            lines = std::max(2, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--seed") == 0)
            seed = unsigned(std::atoi(argv[i + 1]));
    }
    // Both clocks are forked before Qt starts threads of its own.
    const int unpluggedLines = std::min(lines, 200);
    int atCopy = 0;
    auto soakClock = SoakClock(lines, seed);
    auto unpluggedClock = UnpluggedClock(unpluggedLines, seed, atCopy);
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const bool soak = Soak(*soakClock, dir, lines, seed);
    const bool unplugged = Unplugged(*unpluggedClock, dir, unpluggedLines, atCopy);
    return soak && unplugged ? 0 : 1;
}
