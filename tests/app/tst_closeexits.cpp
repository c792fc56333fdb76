// Closing the window during a transfer ends the process: the program runs in a child
// process with its own event loop, uploads to a clock that never answers the wake-up, and
// closes its window while it waits.

#include "../serial/FakeSysfs.h"
#include "RecordingDialogs.h"
#include "app/uRZ8.h"
#include "serial/CPortStored.h"
#include "tools/VirtualClock.h"

#include <QtTest>
#include <cstdio>

namespace {

// The program's side: starts "Send data" at once and closes the window after `closeAfterMs`.
int RunChild(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    TRecordingDialogs dialogs;
    // No ports present: discovery at the first show keeps the port text typed below.
    TFakeSysfs sysfs;
    TForm1 form;
    form.Edit2->setText(args.at(2));
    form.cbserieporter->setEditText(args.at(3));
    form.show();
    QTimer::singleShot(0, &form, [&form] { QTest::mouseClick(form.AdvPanel5, Qt::LeftButton); });
    QTimer::singleShot(args.at(4).toInt(), Qt::PreciseTimer, &form, [&form] {
        std::fputs(form.TransferRunning() ? "closing\n" : "not running\n", stdout);
        std::fflush(stdout);
        form.close();
    });
    return QApplication::exec();
}

} // namespace

class TestCloseExits : public QObject {
    Q_OBJECT
private slots:
    void closingDuringTheWakeUpEndsTheProcess_data();
    void closingDuringTheWakeUpEndsTheProcess();
};

void TestCloseExits::closingDuringTheWakeUpEndsTheProcess_data() {
    QTest::addColumn<int>("closeAfterMs");
    QTest::newRow("before the first CAN") << 300;
    // Around the first tick a CAN is being written and its transmit-empty report may be
    // waiting for the window thread when the port closes.
    for (int i = 0; i < 14; ++i) {
        const int ms = 990 + 2 * i;
        QTest::addRow("near the first CAN, %d ms", ms) << ms;
    }
    QTest::newRow("after the first CAN") << 1300;
}

void TestCloseExits::closingDuringTheWakeUpEndsTheProcess() {
    QFETCH(int, closeAfterMs);
    QTemporaryDir dir;
    const QString file = dir.filePath("import.RZ7");
    QFile import(file);
    QVERIFY(import.open(QIODevice::WriteOnly));
    import.write("<?xml?>\r\n<RZ7>\r\n\r\n\r\n<class>,1,2\r\n</RZ7>\r\n");
    import.close();
    VirtualClock::Options options;
    options.wakeAtCan = 0;
    VirtualClock clock(options);

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {"--child", file, QString::fromStdString(clock.SlavePath()),
                 QString::number(closeAfterMs)});
    QVERIFY(child.waitForStarted());
    QVERIFY(child.waitForReadyRead(10000));
    QCOMPARE(child.readLine(), QByteArray("closing\n"));
    QElapsedTimer sinceClose;
    sinceClose.start();
    const bool ended = child.waitForFinished(5000);
    const qint64 ms = sinceClose.elapsed();
    if (!ended)
        child.kill();
    QVERIFY2(ended, "the process kept running after its window was closed");
    QVERIFY2(ms < 1000, qPrintable(QString("ended %1 ms after the close").arg(ms)));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    // The port was released: a new start of the program can open it at once.
    TComPort port;
    SetStoredSettings(port);
    port.SetPort(clock.SlavePath());
    port.Open();
    QVERIFY(port.Connected());
}

int main(int argc, char *argv[]) {
    if (argc == 5 && qstrcmp(argv[1], "--child") == 0)
        return RunChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestCloseExits test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_closeexits.moc"
