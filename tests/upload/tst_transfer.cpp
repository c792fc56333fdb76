// The upload transfer without a window: a recording host, a real port on a pseudo-terminal
// and the virtual clock, paced at the line speed and unpaced.

#include "serial/CPort.h"
#include "serial/CPortStored.h"
#include "tools/VirtualClock.h"
#include "upload/Transfer.h"

#include <QtTest>
#include <random>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Stands in for the window: records what it would show and runs the wake-up timer.
class TRecordingHost : public TUploadHost {
public:
    void ShowStatus(const std::string &text) override {
        Statuses << QString::fromStdString(text);
        if (OnStatus)
            OnStatus(Statuses.last());
    }
    void ShowMessage(const std::string &text) override { Messages << QString::fromStdString(text); }
    void SetWakeTimer(bool enabled) override {
        if (enabled)
            WakeTimer.start();
        else
            WakeTimer.stop();
    }
    bool LeaveRequested() const override { return false; }

    QStringList Statuses;
    QStringList Messages;
    QTimer WakeTimer;
    std::function<void(const QString &)> OnStatus;
};

// One transfer against one virtual clock.
struct TTransferRig {
    explicit TTransferRig(const VirtualClock::Options &options)
        : Clock(options), Transfer(Port, Flags, File, Host) {
        SetStoredSettings(Port);
        Port.OnRxChar = [this](QObject *, int count) { ReadAnswer(Port, count, Flags); };
        Host.WakeTimer.setInterval(1000);
        QObject::connect(&Host.WakeTimer, &QTimer::timeout, [this] { Transfer.WakeTick(); });
        Transfer.AckTimeout = 400ms;
    }

    // Uploads a file of the header and `lines` to the port text `portText` (the clock's
    // line when empty); the clock answers the wake-up at once. The error raised, or "".
    QString Run(const QStringList &lines, const QString &portText = {}) {
        const QString path = Dir.filePath("import.RZ7");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return "cannot write the import file";
        file.write(("<?xml?>\r\n<RZ7>\r\n\r\n\r\n" + lines.join("\r\n") + "\r\n").toLatin1());
        file.close();
        QTimer::singleShot(20, [this] { Clock.Send(std::string(1, VirtualClock::ACK)); });
        try {
            Transfer.Run(path.toStdString(),
                         portText.isEmpty() ? Clock.SlavePath() : portText.toStdString());
        } catch (const std::exception &e) {
            return QString::fromUtf8(e.what());
        }
        return {};
    }

    VirtualClock Clock;
    TComPort Port;
    TUploadFlags Flags;
    TImportFile File;
    TRecordingHost Host;
    TUploadTransfer Transfer;
    QTemporaryDir Dir;
};

VirtualClock::Options ClockOptions(bool paced) {
    VirtualClock::Options options;
    options.wakeAtCan = 0;
    options.pace = paced;
    options.quietGap = 5ms;
    return options;
}

// A record of 30 values: 33 bytes, 69 ms on a 4800 bit/s line, longer than the pause.
QString LongRecord(int n) {
    QStringList values{"<name>", "78", QString::number(n)};
    for (int i = 0; i < 28; ++i)
        values << QString::number(65 + (n + i) % 26);
    return values.join(',');
}

// Copies and answers alternate: the clock answers every copy once, and the next copy goes
// out only after that answer; it repeats the packet after a NAK and moves on after an ACK.
void CheckCopiesAwaitTheirAnswers(const VirtualClock &clock) {
    const auto packets = clock.Packets();
    const auto answers = clock.Answers(); // the wake-up ACK first
    QCOMPARE(answers.size(), packets.size() + 1);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const auto &answer = answers[i + 1];
        QVERIFY2(answer.time >= packets[i].end, qPrintable(QString("copy %1").arg(i)));
        QVERIFY2(answer.bytes == std::string(1, VirtualClock::ACK) ||
                     answer.bytes == std::string(1, VirtualClock::NAK),
                 qPrintable(QString("copy %1").arg(i)));
        if (i + 1 == packets.size())
            break;
        const auto &next = packets[i + 1];
        QVERIFY2(
            next.time > answer.time,
            qPrintable(QString("copy %1 started before the answer to copy %2").arg(i + 1).arg(i)));
        const bool accepted = answer.bytes[0] == VirtualClock::ACK;
        QCOMPARE(next.index, packets[i].index + (accepted ? 1 : 0));
        QCOMPARE(next.attempt, accepted ? 0 : packets[i].attempt + 1);
    }
}

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private slots:
    void portNameFromList_data();
    void portNameFromList();
    void resendAnswersOneNak_data();
    void resendAnswersOneNak();
    void scatteredNaksOverALongFile_data();
    void scatteredNaksOverALongFile();
    void staleAnswerIsNotTheNextLinesAnswer_data();
    void staleAnswerIsNotTheNextLinesAnswer();
};

void TestTransfer::portNameFromList_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("COM3 entry") << QByteArray("COM3 Serial port") << QByteArray("COM3");
    QTest::newRow("COM10 entry") << QByteArray("COM10 Serial port") << QByteArray("COM10");
    QTest::newRow("COM100 kept whole") << QByteArray("COM100 Serial port") << QByteArray("COM100");
    QTest::newRow("USB timer entry")
        << QByteArray("ttyUSB0 Tavo USB TIMER ") << QByteArray("ttyUSB0");
    QTest::newRow("initial text") << QByteArray("Ingen port funnet") << QByteArray("Ingen");
    QTest::newRow("leading blanks and tab") << QByteArray(" \tCOM4\tx") << QByteArray("COM4");
    QTest::newRow("typed path") << QByteArray("/tmp/rz8-clock") << QByteArray("/tmp/rz8-clock");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
}

void TestTransfer::portNameFromList() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, name);
    QCOMPARE(QByteArray::fromStdString(PortNameFromList(text.toStdString())), name);
}

void TestTransfer::resendAnswersOneNak_data() {
    QTest::addColumn<bool>("paced");
    QTest::addColumn<int>("naks");
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("error");
    for (const bool paced : {false, true}) {
        const char *line = paced ? "paced" : "unpaced";
        QTest::addRow("one NAK, then ACK, %s", line) << paced << 1 << 2 << QString();
        QTest::addRow("NAK to every copy, %s", line)
            << paced << 1000 << 6 << QString("Klokken svarte ikke på linje 5");
    }
}

void TestTransfer::resendAnswersOneNak() {
    QFETCH(bool, paced);
    QFETCH(int, naks);
    QFETCH(int, copies);
    QFETCH(QString, error);
    VirtualClock::Options options = ClockOptions(paced);
    options.script.nakTimes = naks;
    TTransferRig rig(options);
    QCOMPARE(rig.Run({LongRecord(0), "</RZ7>"}), error);

    auto packets = rig.Clock.Packets();
    const bool closed = error.isEmpty();
    QCOMPARE(int(packets.size()), copies + (closed ? 1 : 0));
    if (closed)
        QVERIFY(packets.back().closing);
    for (int i = 0; i < copies; ++i) {
        QCOMPARE(packets[i].index, 0);
        QCOMPARE(packets[i].attempt, i);
        QVERIFY(packets[i].checksumOk);
    }
    CheckCopiesAwaitTheirAnswers(rig.Clock);
    QCOMPARE(rig.Host.Statuses.last(), QString("Ferdig"));
    QVERIFY(!rig.Port.Connected());
    QVERIFY(!rig.File.IsOpen());
}

void TestTransfer::scatteredNaksOverALongFile_data() {
    QTest::addColumn<bool>("paced");
    QTest::newRow("unpaced") << false;
    QTest::newRow("paced") << true;
}

void TestTransfer::scatteredNaksOverALongFile() {
    QFETCH(bool, paced);
    constexpr int Records = 24;
    VirtualClock::Options options = ClockOptions(paced);
    // About a third of the copies are refused, at most twice in a row, the same every run.
    options.responder = [random = std::mt19937(8)](const VirtualClock::Packet &p) mutable {
        const bool refuse = p.attempt < 2 && random() % 3 == 0;
        return VirtualClock::Reply{std::string(1, refuse ? VirtualClock::NAK : VirtualClock::ACK)};
    };
    TTransferRig rig(options);
    QStringList lines;
    for (int i = 0; i < Records; ++i)
        lines << LongRecord(i);
    QCOMPARE(rig.Run(lines + QStringList{"</RZ7>"}), QString());

    const auto packets = rig.Clock.Packets();
    const auto resends = std::count_if(packets.begin(), packets.end(),
                                       [](const VirtualClock::Packet &p) { return p.attempt > 0; });
    QVERIFY2(resends >= 4, "the script should refuse some copies");
    QCOMPARE(packets.back().index, Records);
    QVERIFY(packets.back().closing);
    CheckCopiesAwaitTheirAnswers(rig.Clock);
    QVERIFY(!rig.Port.Connected());
}

void TestTransfer::staleAnswerIsNotTheNextLinesAnswer_data() {
    scatteredNaksOverALongFile_data();
}

// A late second ACK to the first line waits unread while the second line goes out; the clock
// never answers the second line, so the upload must fail rather than count the stale ACK.
void TestTransfer::staleAnswerIsNotTheNextLinesAnswer() {
    QFETCH(bool, paced);
    VirtualClock::Options options = ClockOptions(paced);
    options.script.silentFrom = 1;
    TTransferRig rig(options);
    bool waiting = false;
    rig.Host.OnStatus = [&](const QString &status) {
        if (status != "Antall: 1")
            return;
        rig.Clock.Send(std::string(1, VirtualClock::ACK));
        // No event loop here: the byte must still be unread when the next copy goes out.
        QDeadlineTimer deadline(2s);
        while (!(waiting = rig.Port.InputQueueCount() > 0) && !deadline.hasExpired())
            std::this_thread::sleep_for(1ms);
    };
    QCOMPARE(rig.Run({LongRecord(0), "</RZ7>"}), QString("Klokken svarte ikke på linje 6"));
    QVERIFY(waiting);
    QCOMPARE(int(rig.Clock.Packets().size()), 2);
    QVERIFY(!rig.Port.Connected());
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
