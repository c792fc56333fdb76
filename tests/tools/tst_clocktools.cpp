#include "LineClient.h"
#include "tools/VirtualClock.h"

#include <QtTest>

using namespace std::chrono_literals;

namespace {

std::string Bytes(const char *hex) {
    const QByteArray b = QByteArray::fromHex(hex);
    return std::string(b.constData(), std::size_t(b.size()));
}

// Reads the process's output until a line starting with `prefix` has come.
QString LineStartingWith(QProcess &process, const QString &prefix) {
    QString seen;
    QDeadlineTimer deadline(10s);
    while (!deadline.hasExpired() && process.waitForReadyRead(int(deadline.remainingTime()))) {
        seen += QString::fromUtf8(process.readAllStandardOutput());
        for (const QString &line : seen.split('\n'))
            if (line.startsWith(prefix) && seen.contains(line + '\n'))
                return line;
    }
    return {};
}

QList<int> Values(const QByteArray &fields) {
    QList<int> out;
    for (const QByteArray &f : fields.split(',')) {
        if (f.startsWith('<'))
            break;
        bool ok = false;
        out << f.toInt(&ok);
        if (!ok)
            return {-1};
    }
    return out;
}

} // namespace

class TestClockTools : public QObject {
    Q_OBJECT
private slots:
    void commandLineClockAnswersAndLogs();
    void demoRunsClockBesideProgram();
    void exampleFileIsAValidImport();
};

void TestClockTools::commandLineClockAnswersAndLogs() {
    QTemporaryDir dir;
    const QString link = dir.filePath("clock");
    const QString log = dir.filePath("clock.log");
    QProcess clock;
    clock.start(RZ8_VIRTUAL_CLOCK_EXE,
                {"--link", link, "--log", log, "--nak", "1", "--gap", "15", "--quiet"});
    const QString line = LineStartingWith(clock, "Open this port in the program: ");
    QVERIFY2(line.contains(link + " (/dev/pts/"), qPrintable(line));
    {
        LineClient port(link.toStdString());
        QVERIFY(port.Write(Bytes("18")));
        QCOMPARE(port.Read(), Bytes("06"));
        const std::string packet = VirtualClock::Frame(Bytes("43 01 02"));
        QVERIFY(port.Write(packet));
        QCOMPARE(port.Read(), Bytes("15"));
        QVERIFY(port.Write(packet));
        QCOMPARE(port.Read(), Bytes("06"));
    }
    clock.terminate();
    QVERIFY(clock.waitForFinished(5000));
    QCOMPARE(clock.exitCode(), 0);
    const QString summary = QString::fromUtf8(clock.readAllStandardOutput());
    QVERIFY2(summary.contains("packets: 1, re-sends: 1"), qPrintable(summary));
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("packet #0 (re-send 1) ok"));
    QVERIFY(!QFileInfo(link).isSymLink());
}

// The program is stood in for by a script that notes whether the clock's port is there.
void TestClockTools::demoRunsClockBesideProgram() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("tools") && QDir(dir.path()).mkpath("app"));
    QVERIFY(QFile::link(RZ8_VIRTUAL_CLOCK_EXE, dir.filePath("tools/rz8-virtual-clock")));
    const QString link = dir.filePath("port");
    const QString seen = dir.filePath("seen");
    QFile app(dir.filePath("app/rz8-filoverforing"));
    QVERIFY(app.open(QIODevice::WriteOnly));
    app.write(
        QString("#!/bin/sh\n[ -c \"%1\" ] && echo up > \"%2\"\nexit 3\n").arg(link, seen).toUtf8());
    app.close();
    app.setPermissions(app.permissions() | QFileDevice::ExeUser);

    QProcess demo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("RZ8_CLOCK_LINK", link);
    demo.setProcessEnvironment(env);
    demo.start("bash", {RZ8_DEMO_SCRIPT, dir.path()});
    QVERIFY(demo.waitForFinished(15000));
    const QString out = QString::fromUtf8(demo.readAllStandardOutput());
    QCOMPARE(demo.exitCode(), 3);
    const QString example = QFileInfo(RZ8_EXAMPLES_DIR "/stevne.RZ7").absoluteFilePath();
    QVERIFY2(out.contains("Velg filen " + example), qPrintable(out));
    QVERIFY2(out.contains("skriv " + link + " i portfeltet"), qPrintable(out));
    QVERIFY2(QFile::exists(seen), "the clock's port was not there while the program ran");
    QVERIFY2(!QFileInfo(link).isSymLink(), "the clock was left running");
}

// The layout the upload and a clock expect: every line a packet of bytes 0 to 255.
void TestClockTools::exampleFileIsAValidImport() {
    QFile file(RZ8_EXAMPLES_DIR "/stevne.RZ7");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.endsWith("\r\n"));
    QCOMPARE(text.count('\n'), text.count("\r\n"));
    const QList<QByteArray> lines = QByteArray(text).replace("\r\n", "\n").chopped(1).split('\n');
    QCOMPARE(lines.value(1), QByteArray("<RZ7>"));
    QCOMPARE(lines.value(4), QByteArray("<classes>"));
    QCOMPARE(lines.last(), QByteArray("</RZ7>"));

    QList<QPair<int, int>> ranges;
    QSet<int> startNumbers;
    QByteArrayList sections;
    for (const QByteArray &line : lines.mid(4, lines.size() - 5)) {
        const int comma = line.indexOf(',');
        if (comma < 0) {
            sections << line;
            continue;
        }
        const QByteArray tag = line.left(comma);
        const QList<int> v = Values(line.mid(comma + 1));
        QVERIFY2(std::all_of(v.begin(), v.end(), [](int x) { return x >= 0 && x <= 255; }),
                 line.constData());
        if (tag == "<class>") {
            QCOMPARE(v.size(), 29);
            QCOMPARE(v[0], 67);
            ranges << qMakePair(v[17] * 256 + v[18], v[19] * 256 + v[20]);
        } else {
            QCOMPARE(tag, QByteArray("<name>"));
            QCOMPARE(v.size(), 11);
            QCOMPARE(v[0], 78);
            const int number = v[1] * 256 + v[2];
            QVERIFY2(std::any_of(ranges.begin(), ranges.end(),
                                 [&](auto r) { return number >= r.first && number <= r.second; }),
                     line.constData());
            QVERIFY(!startNumbers.contains(number));
            startNumbers << number;
        }
    }
    QCOMPARE(sections, QByteArrayList({"<classes>", "</classes>", "<names>", "</names>"}));
    QVERIFY(startNumbers.size() >= 24);
}

QTEST_GUILESS_MAIN(TestClockTools)
#include "tst_clocktools.moc"
