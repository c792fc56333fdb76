// rz8-fetch as a user runs it: capture from the virtual clock over a pseudo-terminal, then
// decode the log, with its exit statuses and messages.

#include "cli/Csv.h"
#include "serial/CPort.h"
#include "serial/CPortStored.h"
#include "tools/VirtualClock.h"

#include <QtTest>
#include <csignal>

using namespace std::chrono_literals;

namespace {

const char *const WorkedExample = R"(
2,67,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1,0,3,10,30,0,1,30,0,0,1,3,40
2,78,0,2,65,78,78,69,32,32,32,32,3,17
2,84,0,14,30,5,3,201
2,72,1,0,3,77
2,80,0,0,0,0,0,2,1,44,3,99
2,80,0,0,0,0,0,9,0,59,3,12
)";

const QByteArray Tables = "id,fra,til,tid,intervall,parstart,sjekk\r\n"
                          "0,1,3,10:30:00,01:30,0,1\r\n"
                          "\r\n"
                          "id,startnr,navn,tidsek1,tidstr1,tidsek2,tidstr2,tidsek3,tidstr3\r\n"
                          "0,1,,,,,,,\r\n"
                          "1,2,ANNE    ,300,05:00,,,,\r\n"
                          "2,3,,,,,,,\r\n";

struct TRun {
    int Status = -1;
    QByteArray Out;
    QByteArray Err;
};

TRun Fetch(const QStringList &args) {
    QProcess tool;
    tool.start(RZ8_FETCH, args);
    TRun run;
    if (!tool.waitForFinished(30000))
        tool.kill();
    run.Status = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.Out = tool.readAllStandardOutput();
    run.Err = tool.readAllStandardError();
    return run;
}

VirtualClock::Options FetchClock(bool pace) {
    VirtualClock::Options options;
    options.pace = pace;
    options.records = VirtualClock::ParseRecords(WorkedExample);
    options.fetchAfter = 300ms;
    return options;
}

} // namespace

class TestFetchTool : public QObject {
    Q_OBJECT
private slots:
    void captureThenDecode_data();
    void captureThenDecode();
    void ctrlCEndsTheCaptureInOrder();
    void errors_data();
    void errors();
    void csvFields_data();
    void csvFields();

private:
    QTemporaryDir Dir;
};

void TestFetchTool::captureThenDecode_data() {
    QTest::addColumn<bool>("pace");
    QTest::newRow("unpaced") << false;
    QTest::newRow("paced at 4800 bit/s") << true;
}

void TestFetchTool::captureThenDecode() {
    QFETCH(bool, pace);
    VirtualClock clock(FetchClock(pace));
    const QString log = Dir.filePath("capture.log");
    const TRun capture = Fetch(
        {"capture", QString::fromStdString(clock.SlavePath()), "--log", log, "--silence", "1"});
    QCOMPARE(capture.Status, 0);
    QVERIFY(clock.Fetch().done);
    // One ACK per end byte, and one for the class record's last start number, a data byte 3.
    QCOMPARE(clock.Fetch().acks, 7);
    QVERIFY2(capture.Err.endsWith("Poster mottatt: 6\n"), capture.Err);

    const TRun decode = Fetch({"decode", log});
    QCOMPARE(decode.Status, 0);
    QCOMPARE(decode.Out, Tables);
    QVERIFY2(decode.Err.startsWith("RZ8 tid: 14"), decode.Err);
    QCOMPARE(Fetch({"decode", log, "--table", "tklasse"}).Out,
             Tables.left(Tables.indexOf("\r\n\r\n") + 2));
}

void TestFetchTool::ctrlCEndsTheCaptureInOrder() {
    VirtualClock clock(FetchClock(false));
    const QString log = Dir.filePath("interrupted.log");
    QProcess tool;
    tool.start(RZ8_FETCH, {"capture", QString::fromStdString(clock.SlavePath()), "--log", log,
                           "--silence", "0"});
    QVERIFY(tool.waitForStarted());
    QVERIFY(clock.WaitFor([&] { return clock.Fetch().done; }, 10s));
    ::kill(pid_t(tool.processId()), SIGINT);
    QVERIFY(tool.waitForFinished(5000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    // The log was closed with all it held, and the port is free again.
    QCOMPARE(Fetch({"decode", log}).Out, Tables);
    TComPort port;
    SetStoredSettings(port);
    port.SetPort(clock.SlavePath());
    port.Open();
    QVERIFY(port.Connected());
}

void TestFetchTool::errors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing log") << QStringList{"decode", "/nonexistent/rz8.log"} << 1
                                 << "rz8-fetch: File not found\n";
    QTest::newRow("port that cannot be opened")
        << QStringList{"capture", "ttyRZ8none", "--log", "/tmp/rz8-none.log"} << 1
        << "rz8-fetch: Unable to open com port (win error code: 2)\n";
    QTest::newRow("no command") << QStringList{} << 2 << "rz8-fetch: skriv capture eller decode";
    QTest::newRow("capture without a port")
        << QStringList{"capture"} << 2 << "rz8-fetch: capture vil ha én PORT";
    QTest::newRow("unknown table") << QStringList{"decode", "--table", "tider"} << 2
                                   << "rz8-fetch: --table vil ha tklasse eller ttider";
    QTest::newRow("bad silence") << QStringList{"capture", "ttyS0", "--silence", "x"} << 2
                                 << "rz8-fetch: --silence vil ha et helt antall sekunder";
}

void TestFetchTool::errors() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    const TRun run = Fetch(args);
    QCOMPARE(run.Status, status);
    QVERIFY2(run.Err.startsWith(message.toUtf8()), run.Err);
    if (status == 2)
        QVERIFY(run.Err.contains("Bruk: rz8-fetch capture PORT"));
}

void TestFetchTool::csvFields_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("plain") << QByteArray("ANNE    ") << QByteArray("ANNE    ");
    QTest::newRow("comma") << QByteArray("A,B") << QByteArray("\"A,B\"");
    QTest::newRow("quote doubled") << QByteArray("A\"B") << QByteArray("\"A\"\"B\"");
    QTest::newRow("line end") << QByteArray("A\r\nB") << QByteArray("\"A\r\nB\"");
    QTest::newRow("byte above 127 as stored") << QByteArray("\xd8ye") << QByteArray("\xd8ye");
}

void TestFetchTool::csvFields() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, field);
    QCOMPARE(QByteArray::fromStdString(CsvField(text.toStdString())), field);
}

QTEST_GUILESS_MAIN(TestFetchTool)
#include "tst_fetchtool.moc"
