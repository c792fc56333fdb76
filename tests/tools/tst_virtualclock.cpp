#include "LineClient.h"
#include "tools/VirtualClock.h"

#include <QtTest>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using VC = VirtualClock;

namespace {

std::string Bytes(const char *hex) {
    const QByteArray b = QByteArray::fromHex(hex);
    return std::string(b.constData(), std::size_t(b.size()));
}

QByteArray Hex(const std::string &bytes) {
    return QByteArray(bytes.data(), qsizetype(bytes.size())).toHex(' ');
}

double MsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// "A", "N", "C", "AC", or "-" for silence.
QString Letters(const std::string &answer) {
    if (answer.empty())
        return "-";
    QString out;
    for (const char c : answer)
        out += c == VC::ACK ? 'A' : c == VC::NAK ? 'N' : c == VC::CAN ? 'C' : '?';
    return out;
}

// Wakes the clock as the program does and checks it answered.
bool WakeUp(LineClient &line) {
    return line.Write(Bytes("18")) && line.Read() == Bytes("06");
}

const std::string P0 = VC::Frame(Bytes("43 01 02"));
const std::string P1 = VC::Frame(Bytes("4E 00 01 41 4E 4E 45 20 20 20 20"));
const std::string P2 = VC::Frame(Bytes("43 05 06"));

} // namespace

class TestVirtualClock : public QObject {
    Q_OBJECT
private slots:
    void checksum_data();
    void checksum();
    void wakeUp_data();
    void wakeUp();
    void packetAnswers_data();
    void packetAnswers();
    void sessionRecordAndLog();
    void ackSentBeforeAnyCan();
    void responderAndDelay();
    void pacing();
    void unplugHangsUpTheLine();
    void linkFollowsClockLifetime();
    void handOverWaitsForEveryAck();
    void handOverStopsWithoutAnAck();
    void recordsParse_data();
    void recordsParse();
};

void TestVirtualClock::checksum_data() {
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("ok");
    const auto add = [](const char *name, const std::string &p, bool ok) {
        QTest::newRow(name) << QByteArray(p.data(), qsizetype(p.size())) << ok;
    };
    add("record", Bytes("02 43 01 02 03 FA"), true);
    add("empty record", Bytes("02 03 FD"), true);
    add("lone value is outside the sum", Bytes("02 05 03 FD"), true);
    add("sum wraps to checksum 0", Bytes("02 00 FF FE 03 00"), true);
    add("plain line, no STX", Bytes("01 02 03 FB"), true);
    add("closing line", Bytes("03 FD"), true);
    add("checksum off by one", Bytes("02 43 01 02 03 FB"), false);
    add("first value summed too", Bytes("02 43 01 02 03 B7"), false);
    add("STX summed too", Bytes("02 43 01 02 03 F8"), false);
    add("no ETX before checksum", Bytes("02 43 01 02 04 F9"), false);
    add("too short", Bytes("02 FD"), false);
}

// The clock's test, and Frame() making what it accepts (tests build packets with Frame).
void TestVirtualClock::checksum() {
    QFETCH(QByteArray, packet);
    QFETCH(bool, ok);
    const std::string bytes(packet.constData(), std::size_t(packet.size()));
    QCOMPARE(VC::ChecksumOk(bytes), ok);
    if (!ok)
        return;
    const bool record = bytes.front() == VC::STX;
    const std::string data = bytes.substr(record ? 1 : 0, bytes.size() - (record ? 3 : 2));
    QCOMPARE(Hex(VC::Frame(data, record)), Hex(bytes));
}

void TestVirtualClock::wakeUp_data() {
    QTest::addColumn<int>("atCan");
    QTest::addColumn<int>("afterMs");
    QTest::addColumn<int>("cans");
    QTest::addColumn<int>("ackedCan"); // 1-based; 0 = never
    QTest::newRow("first CAN") << 1 << 0 << 3 << 1;
    QTest::newRow("third CAN") << 3 << 0 << 4 << 3;
    QTest::newRow("switched on after 250 ms") << 1 << 250 << 5 << 4;
    QTest::newRow("never") << 0 << 0 << 3 << 0;
}

void TestVirtualClock::wakeUp() {
    QFETCH(int, atCan);
    QFETCH(int, afterMs);
    QFETCH(int, cans);
    QFETCH(int, ackedCan);
    VC::Options options;
    options.wakeAtCan = atCan;
    options.wakeAfter = VC::Ms(afterMs);
    VC clock(options);
    LineClient line(clock.SlavePath());
    QVERIFY(line.IsOpen());
    int acked = 0;
    for (int k = 1; k <= cans && acked == 0; ++k) {
        std::this_thread::sleep_until(clock.StartTime() + (k - 1) * 100ms);
        QVERIFY(line.Write(Bytes("18")));
        const std::string answer = line.Read(60ms, 20ms);
        QVERIFY2(answer.empty() || answer == Bytes("06"), Hex(answer).constData());
        if (!answer.empty())
            acked = k;
    }
    QCOMPARE(acked, ackedCan);
    QCOMPARE(clock.Woken(), ackedCan > 0);
    QCOMPARE(int(clock.WakeCans().size()), ackedCan > 0 ? ackedCan : cans);
    QCOMPARE(int(clock.Answers().size()), ackedCan > 0 ? 1 : 0);
}

void TestVirtualClock::packetAnswers_data() {
    QTest::addColumn<int>("nakTimes");
    QTest::addColumn<int>("nakPackets");
    QTest::addColumn<int>("canAfter");
    QTest::addColumn<int>("silentFrom");
    QTest::addColumn<bool>("badFirst");
    QTest::addColumn<QString>("answers"); // per packet, each sending's answer
    QTest::newRow("good packets are acked") << 0 << 1 << -1 << -1 << false << "A|A|A";
    QTest::newRow("bad checksum is nakked every time")
        << 0 << 1 << -1 << -1 << true << "N N N N N N|A|A";
    QTest::newRow("two NAKs, then ACK") << 2 << 1 << -1 << -1 << false << "N N A|A|A";
    QTest::newRow("a NAK for the first two packets") << 1 << 2 << -1 << -1 << false << "N A|N A|A";
    QTest::newRow("CAN after packet 1") << 0 << 1 << 1 << -1 << false << "A|AC";
    QTest::newRow("silent from packet 1") << 0 << 1 << -1 << 1 << false << "A|-|-";
}

// The client behaves as the program does: re-send on NAK up to five times, stop on CAN.
void TestVirtualClock::packetAnswers() {
    QFETCH(int, nakTimes);
    QFETCH(int, nakPackets);
    QFETCH(int, canAfter);
    QFETCH(int, silentFrom);
    QFETCH(bool, badFirst);
    QFETCH(QString, answers);
    VC::Options options;
    options.script = {nakTimes, nakPackets, canAfter, silentFrom, 0ms};
    VC clock(options);
    LineClient line(clock.SlavePath());
    QVERIFY(WakeUp(line));

    std::string bad = P0;
    bad.back() = char(bad.back() + 1);
    const std::vector<std::string> packets = {badFirst ? bad : P0, P1, P2};
    QStringList seen;
    std::vector<std::pair<int, int>> sendings;
    for (int index = 0; index < 3 && !seen.join('|').contains('C'); ++index) {
        QStringList perPacket;
        std::string answer;
        for (int attempt = 0; attempt == 0 || (answer == Bytes("15") && attempt < 6); ++attempt) {
            QVERIFY(line.Write(packets[std::size_t(index)]));
            answer = line.Read(100ms);
            perPacket << Letters(answer);
            sendings.push_back({index, attempt});
        }
        seen << perPacket.join(' ');
    }
    QCOMPARE(seen.join('|'), answers);

    const std::vector<VC::Packet> heard = clock.Packets();
    QCOMPARE(heard.size(), sendings.size());
    for (std::size_t i = 0; i < heard.size(); ++i) {
        QCOMPARE(heard[i].index, sendings[i].first);
        QCOMPARE(heard[i].attempt, sendings[i].second);
        QCOMPARE(Hex(heard[i].bytes), Hex(packets[std::size_t(sendings[i].first)]));
    }
}

// A whole upload's worth of bytes: what is recorded and how the hex log tells it.
void TestVirtualClock::sessionRecordAndLog() {
    VC clock;
    LineClient line(clock.SlavePath());
    QVERIFY(WakeUp(line));
    QVERIFY(line.Write(Bytes("18"))); // late wake-up CAN
    QCOMPARE(Hex(line.Read()), QByteArray());
    QVERIFY(clock.WaitFor([&] { return clock.IgnoredCans() == 1; }, 2s));
    const std::string plain = VC::Frame(Bytes("01 02"), false);
    // The same line twice is two packets once the first was acked.
    for (const std::string &p : {P0, P0, plain, Bytes("18 03 FD")}) {
        QVERIFY(line.Write(p));
        QCOMPARE(Hex(line.Read()), QByteArray("06"));
    }

    const std::vector<VC::Packet> packets = clock.Packets();
    QCOMPARE(packets.size(), std::size_t(4));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(std::pair(packets[i].index, packets[i].attempt), std::pair(i, 0));
    QVERIFY(packets[1].record && !packets[2].record && !packets[3].record);
    QCOMPARE(Hex(packets[3].bytes), QByteArray("03 fd"));
    QVERIFY(packets[3].closing && !packets[2].closing && packets[3].checksumOk);
    QCOMPARE(clock.ClosingCans(), 1);
    QCOMPARE(clock.WakeCans().size(), std::size_t(1));
    QCOMPARE(Hex(clock.Received()), Hex(Bytes("18 18") + P0 + P0 + plain + Bytes("18 03 FD")));
    const std::vector<VC::TimedByte> timed = clock.ReceivedBytes();
    QVERIFY(std::is_sorted(timed.begin(), timed.end(),
                           [](const auto &a, const auto &b) { return a.time < b.time; }));

    const QString log = QString::fromStdString(clock.HexLog());
    for (const char *expected : {"rx  18 ", "wake-up CAN #1, answered", "tx  06 ", "wake-up ACK",
                                 "late wake-up CAN", "rx  02 43 01 02 03 FA ", "packet #0 ok",
                                 "ACK to packet #0", "closing CAN", "rx  03 FD ", "packet #3 ok"})
        QVERIFY2(log.contains(expected), expected);
    QVERIFY(log.indexOf("closing CAN") < log.indexOf("rx  03 FD"));
    QTemporaryDir dir;
    const QString path = dir.filePath("clock.log");
    QVERIFY(clock.WriteHexLog(path.toStdString()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(file.readAll()), log);
}

// The program may see an ACK before its first CAN; the clock is then in its data phase.
void TestVirtualClock::ackSentBeforeAnyCan() {
    VC::Options options;
    options.wakeAtCan = 0;
    VC clock(options);
    LineClient line(clock.SlavePath());
    clock.Send(Bytes("06"));
    QCOMPARE(Hex(line.Read()), QByteArray("06"));
    QVERIFY(clock.Woken());
    QVERIFY(line.Write(P0));
    QCOMPARE(Hex(line.Read()), QByteArray("06"));
    QCOMPARE(clock.WakeCans().size(), std::size_t(0));
    QCOMPARE(clock.Answers().size(), std::size_t(2));
}

void TestVirtualClock::responderAndDelay() {
    VC::Options options;
    options.responder = [](const VC::Packet &p) -> VC::Reply {
        if (p.attempt == 0)
            return {Bytes("15"), 0ms};
        return {Bytes("06"), 150ms};
    };
    VC clock(options);
    LineClient line(clock.SlavePath());
    QVERIFY(WakeUp(line));
    QVERIFY(line.Write(P1));
    QCOMPARE(Hex(line.Read()), QByteArray("15"));
    const Clock::time_point resent = Clock::now();
    QVERIFY(line.Write(P1));
    LineClient::Arrival arrival;
    QCOMPARE(Hex(line.Read(2s, 40ms, &arrival)), QByteArray("06"));
    QVERIFY2(MsBetween(resent, arrival.first) >= 140, "answer came before its delay");
    QCOMPARE(clock.Packets().back().attempt, 1);
}

// Generous bounds: 4800 bit/s makes 49 bytes take 102 ms and 24 bytes 50 ms.
void TestVirtualClock::pacing() {
    VC::Options options;
    options.pace = true;
    VC clock(options);
    LineClient line(clock.SlavePath());
    QVERIFY(WakeUp(line));
    const std::string big = VC::Frame(std::string(46, 'x'));
    const Clock::time_point written = Clock::now();
    QVERIFY(line.Write(big));
    QCOMPARE(Hex(line.Read(2s)), QByteArray("06"));
    const std::vector<VC::TimedByte> timed = clock.ReceivedBytes();
    QCOMPARE(timed.size(), 1 + big.size());
    QVERIFY(MsBetween(timed[1].time, timed.back().time) >= 85);
    QVERIFY(MsBetween(written, clock.Answers().back().time) >= 95);

    clock.Send(std::string(24, 'y'));
    LineClient::Arrival arrival;
    QCOMPARE(line.Read(2s, 40ms, &arrival), std::string(24, 'y'));
    QVERIFY(MsBetween(arrival.first, arrival.last) >= 35);
}

void TestVirtualClock::unplugHangsUpTheLine() {
    QTemporaryDir dir;
    VC::Options options;
    options.linkPath = dir.filePath("clock").toStdString();
    VC clock(options);
    LineClient line(clock.SlavePath());
    QVERIFY(WakeUp(line));
    clock.Unplug();
    pollfd p{line.Fd(), POLLIN, 0};
    QCOMPARE(poll(&p, 1, 2000), 1);
    QVERIFY(p.revents & POLLHUP);
    char c;
    QCOMPARE(read(line.Fd(), &c, 1), ssize_t(0));
    QVERIFY(!line.Write(Bytes("18")));
    QCOMPARE(errno, EIO);
    QVERIFY(!QFileInfo::exists(QString::fromStdString(options.linkPath)));
    clock.Send(Bytes("06")); // harmless once unplugged
    QCOMPARE(Hex(clock.Received()), QByteArray("18"));
}

void TestVirtualClock::linkFollowsClockLifetime() {
    QTemporaryDir dir;
    const QString link = dir.filePath("clock");
    QVERIFY(QFile::link("/nonexistent/left-by-a-crash", link));
    {
        VC::Options options;
        options.linkPath = link.toStdString();
        VC clock(options);
        QCOMPARE(QFileInfo(link).symLinkTarget(), QString::fromStdString(clock.SlavePath()));
        LineClient line(clock.LinkPath());
        QVERIFY(WakeUp(line));
    }
    QVERIFY(!QFileInfo(link).isSymLink());
}

// Each item goes only once every ETX and CAN in the one before has had its ACK.
void TestVirtualClock::handOverWaitsForEveryAck() {
    VC::Options options;
    const std::string inner3 = Bytes("02 48 03 05 03 10"); // a data byte 3: two ACKs due
    options.records = {Bytes("18"), inner3, Bytes("02 54 01 03 FC")};
    VC clock(options);
    LineClient line(clock.SlavePath());
    QCOMPARE(line.Read(), std::string()); // waits for StartFetch
    clock.StartFetch();
    QCOMPARE(Hex(line.Read()), QByteArray("18"));
    QVERIFY(line.Write(Bytes("06")));
    QCOMPARE(Hex(line.Read()), Hex(inner3));
    QVERIFY(line.Write(Bytes("06")));
    QCOMPARE(line.Read(), std::string());
    QVERIFY(line.Write(Bytes("06")));
    QCOMPARE(Hex(line.Read()), QByteArray("02 54 01 03 fc"));
    QVERIFY(!clock.Fetch().done);
    QVERIFY(line.Write(Bytes("06")));
    QVERIFY(clock.WaitFor([&] { return clock.Fetch().done; }, 2s));
    QCOMPARE(clock.Fetch().sent, 3);
    QCOMPARE(clock.Fetch().acks, 4);
    QVERIFY(!clock.Woken()); // the hand-over is no upload wake-up
}

void TestVirtualClock::handOverStopsWithoutAnAck() {
    VC::Options options;
    options.records = VC::SampleRecords();
    options.fetchAfter = 0ms;
    options.ackTimeout = 100ms;
    VC clock(options);
    LineClient line(clock.SlavePath());
    QCOMPARE(Hex(line.Read()), QByteArray("18"));
    QVERIFY(clock.WaitFor([&] { return clock.Fetch().gaveUp; }, 2s));
    QCOMPARE(line.Read(), std::string()); // no record follows, and nothing is sent again
    QCOMPARE(clock.Fetch().sent, 1);
    QVERIFY(clock.Summary().find("stopped: no ACK") != std::string::npos);
}

void TestVirtualClock::recordsParse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("items"); // hex, items split by '|'; "error" when refused
    QTest::newRow("commas") << "2,84,0,3,201\n" << QByteArray("02540003c9");
    QTest::newRow("blanks, CR LF, no end") << "24\r\n2 72  1\t3 77" << QByteArray("18|02480103 4d");
    QTest::newRow("comments and empty lines") << "# time\n\n  \n0,255\n" << QByteArray("00ff");
    QTest::newRow("256") << "2,256,3" << QByteArray("error");
    QTest::newRow("not a number") << "2,x,3" << QByteArray("error");
    QTest::newRow("sign") << "2,-1,3" << QByteArray("error");
}

void TestVirtualClock::recordsParse() {
    QFETCH(QString, text);
    QFETCH(QByteArray, items);
    QByteArray got;
    try {
        for (const std::string &item : VC::ParseRecords(text.toStdString()))
            got += (got.isEmpty() ? "" : "|") + Hex(item).replace(' ', "");
    } catch (const std::invalid_argument &) {
        got = "error";
    }
    QCOMPARE(got, QByteArray(items).replace(' ', ""));
}

QTEST_GUILESS_MAIN(TestVirtualClock)
#include "tst_virtualclock.moc"
