// rz8-send as a user runs it: whole uploads to the virtual clock with the wire trace, the dry
// run, failures with their exit statuses, Ctrl-C, and the port list.

#include "../serial/FakeSysfs.h"
#include "../serial/UserChild.h"
#include "../upload/TraceBytes.h"
#include "cli/SendUpload.h"
#include "serial/CPort.h"
#include "serial/CPortStored.h"
#include "tools/VirtualClock.h"

#include <QtTest>
#include <csignal>
#include <grp.h>

using namespace std::chrono_literals;

namespace {

const QString Example = QStringLiteral(RZ8_SOURCE_DIR "/examples/stevne.RZ7");

struct TRun {
    int Status = -1;
    QByteArray Out;
    QByteArray Err;
};

void Start(QProcess &tool, const QStringList &args) {
    tool.start(RZ8_SEND, args);
}

TRun Finish(QProcess &tool, int ms = 60000) {
    if (!tool.waitForFinished(ms))
        tool.kill();
    TRun run;
    run.Status = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.Out = tool.readAllStandardOutput();
    run.Err = tool.readAllStandardError();
    return run;
}

TRun Send(const QStringList &args) {
    QProcess tool;
    Start(tool, args);
    return Finish(tool);
}

QString Port(const VirtualClock &clock) {
    return QString::fromStdString(clock.SlavePath());
}

// The bytes of the dry run's packet lines, in order.
std::string DryRunBytes(const QByteArray &out) {
    std::string bytes;
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 4 || fields[0] != "linje" || line.contains("(sendes ikke)"))
            continue;
        for (qsizetype i = 3; i < fields.size(); ++i)
            bytes += char(fields[i].toUInt(nullptr, 16));
    }
    return bytes;
}

std::string AnswerBytes(const VirtualClock &clock) {
    std::string bytes;
    for (const auto &answer : clock.Answers())
        bytes += answer.bytes;
    return bytes;
}

} // namespace

class TestSendTool : public QObject {
    Q_OBJECT
private slots:
    void uploadMatchesDryRunAndTrace_data();
    void uploadMatchesDryRunAndTrace();
    void progressWithoutATerminal();
    void clockThatFailsTheUpload();
    void traceOverTheImportFileIsRefused();
    void portOfAGroupTheUserIsNotIn();
    void ctrlCDuringWakeUpReleasesThePort();
    void dryRunStopsAtTheFirstBadLine_data();
    void dryRunStopsAtTheFirstBadLine();
    void badCommandLines_data();
    void badCommandLines();
    void listPortsMarksTheTimer();

private:
    QString WriteFile(const QString &name, const QByteArray &body);
    QTemporaryDir Dir;
};

QString TestSendTool::WriteFile(const QString &name, const QByteArray &body) {
    const QString path = Dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(body);
    return path;
}

void TestSendTool::uploadMatchesDryRunAndTrace_data() {
    QTest::addColumn<bool>("paced");
    QTest::newRow("unpaced") << false;
    QTest::newRow("paced") << true;
}

// The dry run's hex is what the clock receives after the wake-up, and the trace holds every
// byte both ways.
void TestSendTool::uploadMatchesDryRunAndTrace() {
    QFETCH(bool, paced);
    const TRun dry = Send({"--dry-run", Example});
    QCOMPARE(dry.Status, 0);
    QVERIFY(dry.Out.contains("linje    6  post    02 43 48 32 31"));
    QVERIFY(dry.Out.contains("52 linjer, 48 pakker, 787 byte til klokken"));

    VirtualClock::Options options;
    options.pace = paced;
    VirtualClock clock(options);
    const QString tracePath = Dir.filePath(paced ? "paced.trace" : "unpaced.trace");
    const TRun run = Send({Example, Port(clock), "--trace", tracePath});
    QCOMPARE(run.Status, 0);
    QVERIFY2(run.Err.isEmpty(), run.Err);
    QVERIFY2(run.Out.endsWith("alle kvittert av klokken\n"), run.Out);
    QVERIFY(run.Out.contains("Ferdig: 52 av 52 linjer sendt, 0 sendt på nytt"));

    const std::string received = clock.Received();
    const std::size_t wakeCans = clock.WakeCans().size();
    QCOMPARE(wakeCans, std::size_t(1));
    QCOMPARE(received.substr(wakeCans), DryRunBytes(dry.Out));
    QCOMPARE(int(clock.Packets().size()), 48);
    const TTraceBytes trace = ReadTraceBytes(tracePath);
    QCOMPARE(trace.Sent, received);
    QCOMPARE(trace.Received, AnswerBytes(clock));
    QVERIFY(trace.Notes.contains("port " + Port(clock).toUtf8() + " lukket"));
}

void TestSendTool::progressWithoutATerminal() {
    QByteArray body = "<?xml?>\r\n<RZ7>\r\n\r\n\r\n";
    for (int i = 0; i < 204; ++i)
        body += "<name>," + QByteArray::number(i) + ",65\r\n";
    body += "</RZ7>\r\n";
    VirtualClock clock;
    const TRun run = Send({WriteFile("205.RZ7", body), Port(clock)});
    QCOMPARE(run.Status, 0);
    const QList<QByteArray> lines = run.Out.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].startsWith("Vekker klokken på " + Port(clock).toUtf8()), lines[0]);
    QVERIFY2(lines[1].startsWith("100 av 205 linjer sendt, 0 sendt på nytt, "), lines[1]);
    QVERIFY2(lines[2].startsWith("200 av 205 linjer sendt, "), lines[2]);
    QVERIFY2(lines[3].startsWith("Ferdig: 205 av 205 linjer sendt, "), lines[3]);
}

// A clock that refuses every copy and one that never answers: both end with the
// window's message and status 1. They run side by side, as each waits out a timeout.
void TestSendTool::clockThatFailsTheUpload() {
    VirtualClock::Options storm;
    storm.script.nakTimes = 1000;
    VirtualClock nakClock(storm);
    VirtualClock::Options silent;
    silent.script.silentFrom = 0;
    VirtualClock silentClock(silent);
    QProcess nakTool, silentTool;
    Start(nakTool, {Example, Port(nakClock)});
    Start(silentTool, {Example, Port(silentClock)});
    const TRun nak = Finish(nakTool);
    const TRun quiet = Finish(silentTool);
    for (const TRun &run : {nak, quiet}) {
        QCOMPARE(run.Status, 1);
        QCOMPARE(run.Err, QByteArray("rz8-send: Klokken svarte ikke på linje 6\n"));
    }
    QCOMPARE(int(nakClock.Packets().size()), 6);
    QCOMPARE(int(silentClock.Packets().size()), 1);
}

// The trace is created anew, so it must not be the file being sent; the file is kept.
void TestSendTool::traceOverTheImportFileIsRefused() {
    const QString path = WriteFile("both.RZ7", "<?xml?>\n<RZ7>\n\n\n<name>,1\n");
    const TRun run = Send({path, "ttyRZ8none", "--trace", path});
    QCOMPARE(run.Status, 1);
    QCOMPARE(run.Err,
             "rz8-send: --trace " + path.toUtf8() + " er importfilen selv; den ville blitt tømt\n");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("<?xml?>\n<RZ7>\n\n\n<name>,1\n"));
}

// Run as an ordinary user: root opens the node whatever its group.
void TestSendTool::portOfAGroupTheUserIsNotIn() {
    if (geteuid() != 0)
        QSKIP("giving the clock's node to the group dialout needs root");
    const group *dialout = getgrnam("dialout");
    if (!dialout)
        QSKIP("no group dialout here");
    TUserChild user(TUserChild::Nobody, TUserChild::Nobody, {}, RZ8_SEND);
    if (!user.Refusal().isEmpty())
        QSKIP(qPrintable(user.Refusal()));
    VirtualClock clock;
    QCOMPARE(chown(clock.SlavePath().c_str(), 0, dialout->gr_gid), 0);
    QCOMPARE(chmod(clock.SlavePath().c_str(), 0660), 0);
    QVERIFY(QFile::setPermissions(Dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ExeOther));
    const QString file = WriteFile("readable.RZ7", "<?xml?>\n<RZ7>\n\n\n<name>,1\n");
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    const QStringList command = user.Command({file, Port(clock)});
    QProcess tool;
    tool.start(command.first(), command.mid(1));
    const TRun run = Finish(tool);
    QCOMPARE(run.Status, 1);
    QCOMPARE(QString::fromUtf8(run.Err),
             "rz8-send: Unable to open com port (win error code: 13)\n"
             "Porten " +
                 Port(clock) +
                 " tilhører gruppen «dialout». Legg brukeren «nobody» "
                 "til i gruppen med «sudo usermod -aG dialout nobody». Endringen gjelder først når "
                 "du har logget inn på nytt.\n");
}

void TestSendTool::ctrlCDuringWakeUpReleasesThePort() {
    VirtualClock::Options options;
    options.wakeAtCan = 0;
    VirtualClock clock(options);
    QProcess tool;
    Start(tool, {Example, Port(clock)});
    QVERIFY(clock.WaitFor([&] { return !clock.WakeCans().empty(); }, 10s));
    ::kill(pid_t(tool.processId()), SIGINT);
    const TRun run = Finish(tool, 5000);
    QCOMPARE(run.Status, 130);
    QVERIFY2(run.Err.startsWith("rz8-send: avbrutt etter 0 linjer"), run.Err);
    QVERIFY(clock.Packets().empty());
    // The port was closed on the way out: it opens again at once.
    TComPort port;
    SetStoredSettings(port);
    port.SetPort(clock.SlavePath());
    port.Open();
    QVERIFY(port.Connected());
}

void TestSendTool::dryRunStopsAtTheFirstBadLine_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("error");
    QTest::addColumn<int>("linesPrinted");
    const QByteArray head = "<?xml?>\n<RZ7>\n\n\n";
    QTest::newRow("wrong root tag")
        << QByteArray("<?xml?>\n<RZ8>\n\n\n<name>,1\n")
        << QByteArray("rz8-send: linje 2: Ikke gyldig importfil\n") << 0;
    QTest::newRow("word for a number")
        << head + "<classes>\n<class>,1,2\n<class>,1,to,3\n<class>,4\n"
        << QByteArray("rz8-send: linje 7: 'to' is not a valid integer value\n") << 2;
    QTest::newRow("value too large for the clock")
        << head + "<name>,16777216\n"
        << QByteArray("rz8-send: linje 5: Verdien 16777216 er for stor for klokken (største "
                      "tillatte verdi er 16777215)\n")
        << 0;
}

void TestSendTool::dryRunStopsAtTheFirstBadLine() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, error);
    QFETCH(int, linesPrinted);
    const TRun run = Send({"--dry-run", WriteFile("bad.RZ7", body)});
    QCOMPARE(run.Status, 1);
    QCOMPARE(run.Err, error);
    QCOMPARE(int(run.Out.count('\n')), linesPrinted);
}

void TestSendTool::badCommandLines_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing") << QStringList{} << "skriv FIL og PORT";
    QTest::newRow("file only") << QStringList{Example} << "skriv FIL og PORT";
    QTest::newRow("unknown option")
        << QStringList{"--fast", Example, "ttyS0"} << "ukjent valg --fast";
    QTest::newRow("trace without a file")
        << QStringList{Example, "ttyS0", "--trace"} << "--trace mangler verdi";
    QTest::newRow("dry run without a file")
        << QStringList{"--dry-run"} << "--dry-run vil ha én FIL";
    QTest::newRow("list with a port")
        << QStringList{"--list-ports", "ttyS0"} << "--list-ports tar ingen FIL, PORT eller --trace";
}

void TestSendTool::badCommandLines() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const TRun run = Send(args);
    QCOMPARE(run.Status, 2);
    QVERIFY2(run.Err.startsWith("rz8-send: " + message.toUtf8() + "\n"), run.Err);
    QVERIFY(run.Err.contains("Bruk: rz8-send FIL PORT"));
}

void TestSendTool::listPortsMarksTheTimer() {
    TFakeSysfs sysfs;
    sysfs.AddOnboardPort("ttyS0");
    sysfs.AddUsbPort("ttyUSB0", "0403", "6001", "A900TEST");
    QTemporaryFile out;
    QVERIFY(out.open());
    std::FILE *stream = fdopen(dup(out.handle()), "w");
    QCOMPARE(ListPorts(stream), 0);
    std::fclose(stream);
    QVERIFY(out.seek(0));
    QCOMPARE(out.readAll(), QByteArray("ttyS0 Serial port\n"
                                       "ttyUSB0 Serial port\n"
                                       "ttyUSB0 Tavo USB TIMER   <- USB-tidtakeradapteren\n"));
}

QTEST_GUILESS_MAIN(TestSendTool)
#include "tst_sendtool.moc"
