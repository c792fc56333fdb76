// Opening and closing a port over a pseudo-terminal: event order, failures, a new port
// name while open, and when settings reach the device.

#include "PortRecorder.h"
#include "PortTestSupport.h"
#include "TermiosSpeed.h"

#include <QTemporaryFile>
#include <QtTest>
#include <sys/file.h>

namespace {

const QStringList OpenClose = {"BeforeOpen", "AfterOpen", "BeforeClose", "AfterClose"};

} // namespace

class TestComPortOpen : public QObject {
    Q_OBJECT

private slots:
    void openAndCloseFireInOrder() {
        PtyPair pty;
        TComPort port;
        SetStoredSettings(port);
        port.SetPort(pty.SlavePath());
        PortRecorder recorder(port);

        port.Open();
        QVERIFY(port.Connected());
        // A pseudo-terminal has no modem lines: they read as off.
        QCOMPARE(recorder.Log,
                 QStringList({"BeforeOpen", "link:Conn 1", "AfterOpen", "link:CTS 0", "CTS 0",
                              "link:DSR 0", "DSR 0", "link:RLSD 0", "RLSD 0"}));
        recorder.Log.clear();
        port.Open();
        QCOMPARE(recorder.Log, QStringList());

        port.Close();
        QVERIFY(!port.Connected());
        QCOMPARE(recorder.Log,
                 QStringList({"link:CTS 0", "link:DSR 0", "link:RLSD 0", "CTS 0", "DSR 0", "RLSD 0",
                              "BeforeClose", "link:Conn 0", "AfterClose"}));
        recorder.Log.clear();
        port.Close();
        port.SetConnected(false);
        QCOMPARE(recorder.Log, QStringList());
        port.SetConnected(true);
        QVERIFY(port.Connected());
    }

    void openFailures_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("error");
        QTest::newRow("no such device name") << "missing name" << ENOENT;
        QTest::newRow("no such path") << "missing path" << ENOENT;
        QTest::newRow("held by another descriptor") << "locked" << EBUSY;
        QTest::newRow("a file, not a terminal") << "file" << ENOTTY;
    }
    void openFailures() {
        QFETCH(QString, kind);
        QFETCH(int, error);
        PtyPair pty;
        QTemporaryFile file;
        QVERIFY(file.open());
        TComPort port;
        PortRecorder recorder(port);
        if (kind == "missing name")
            port.SetPort("ttyRZ8-none");
        else if (kind == "missing path")
            port.SetPort("/dev/rz8-none/ttyS0");
        else if (kind == "file")
            port.SetPort(file.fileName().toStdString());
        else {
            QCOMPARE(flock(pty.Slave(), LOCK_EX | LOCK_NB), 0);
            port.SetPort(pty.SlavePath());
        }
        const ComFailure failure = FailureOf([&] { port.Open(); });
        QCOMPARE(failure.Code, 1);
        QCOMPARE(failure.Error, error);
        QCOMPARE(failure.Message,
                 QString("Unable to open com port (win error code: %1)").arg(error));
        QVERIFY(!port.Connected());
        QCOMPARE(recorder.Log, QStringList({"BeforeOpen"}));
    }

    void failingSettingsCloseTheDeviceAgain_data() {
        QTest::addColumn<QString>("setting");
        QTest::newRow("input size beyond its limit") << "InputSize";
        QTest::newRow("custom rate 0") << "CustomBaudRate";
    }
    void failingSettingsCloseTheDeviceAgain() {
        QFETCH(QString, setting);
        PtyPair pty;
        TComPort port;
        port.SetPort(pty.SlavePath());
        PortRecorder recorder(port);
        if (setting == "InputSize") {
            port.Buffer().SetInputSize(1 << 20);
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, port.Open());
        } else {
            port.SetBaudRate(brCustom);
            port.SetCustomBaudRate(0);
            const ComFailure failure = FailureOf([&] { port.Open(); });
            QCOMPARE(failure.Code, 7);
            QCOMPARE(failure.Error, EINVAL);
        }
        QVERIFY(!port.Connected());
        QCOMPARE(recorder.Log, QStringList({"BeforeOpen"}));
        QVERIFY(FlockFree(pty.Slave()));
    }

    void newPortNameWhileOpenReopens() {
        PtyPair first, second;
        TComPort port;
        port.SetPort(first.SlavePath());
        PortRecorder recorder(port);
        port.Open();
        recorder.Log.clear();
        port.SetPort(first.SlavePath());
        QCOMPARE(recorder.Log, QStringList());

        port.SetPort(second.SlavePath());
        QCOMPARE(recorder.Only(OpenClose), OpenClose.mid(2) + OpenClose.mid(0, 2));
        QVERIFY(port.Connected());
        QCOMPARE(port.WriteString("x"), 1);
        QCOMPARE(second.Read(1), std::string("x"));
        QVERIFY(FlockFree(first.Slave()));
    }

    void settingsReachTheDeviceOnlyWhileOpen() {
        PtyPair pty;
        // The device as a shell leaves it: line editing, echo, CR mapping, modem control, and
        // reads that return after 0.5 s with nothing.
        termios original = SettingsOf(pty.Slave());
        original.c_iflag |= ICRNL | IXON;
        original.c_oflag |= OPOST | ONLCR;
        original.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
        original.c_cflag &= ~CLOCAL;
        original.c_cc[VMIN] = 0;
        original.c_cc[VTIME] = 5;
        cfsetspeed(&original, B2400);
        tcsetattr(pty.Slave(), TCSANOW, &original);
        original = SettingsOf(pty.Slave());
        QCOMPARE(cfgetospeed(&original), speed_t(B2400));
        QCOMPARE(original.c_lflag & ICANON, tcflag_t(ICANON));

        TComPort port;
        SetStoredSettings(port);
        port.SetPort(pty.SlavePath());
        port.FlowControl().SetFlowControl(fcHardware);
        port.Timeouts().SetWriteTotalConstant(10);
        QCOMPARE(SettingsOf(pty.Slave()).c_cflag, original.c_cflag);

        port.Open();
        termios applied = SettingsOf(pty.Slave());
        QCOMPARE(cfgetospeed(&applied), speed_t(B4800));
        QCOMPARE(applied.c_cflag & (CLOCAL | CREAD | CRTSCTS), tcflag_t(CLOCAL | CREAD | CRTSCTS));
        QCOMPARE(applied.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
        QCOMPARE(applied.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(applied.c_iflag & (ICRNL | IXON), tcflag_t(0));
        QCOMPARE(int(applied.c_cc[VMIN]), 1);
        QCOMPARE(int(applied.c_cc[VTIME]), 0);

        port.SetBaudRate(br115200); // while open: at once
        applied = SettingsOf(pty.Slave());
        QCOMPARE(cfgetospeed(&applied), speed_t(B115200));
        port.SetBaudRate(brCustom);
        port.SetCustomBaudRate(31250);
        QCOMPARE(SettingsOf(pty.Slave()).c_cflag & CBAUD, tcflag_t(CBAUDEX)); // BOTHER

        port.BeginSettingsUpdate(); // held back until the update ends
        port.SetBaudRate(br9600);
        port.FlowControl().SetFlowControl(fcNone);
        applied = SettingsOf(pty.Slave());
        QCOMPARE(applied.c_cflag & CBAUD, tcflag_t(CBAUDEX));
        port.EndSettingsUpdate();
        applied = SettingsOf(pty.Slave());
        QCOMPARE(cfgetospeed(&applied), speed_t(B9600));
        QVERIFY(!(applied.c_cflag & CRTSCTS));
        QCOMPARE(KernelInputSpeed(applied), speed_t(B9600));

        port.SetBaudRate(brCustom); // closed from a custom rate
        port.Close();
        const termios restored = SettingsOf(pty.Slave());
        QCOMPARE(restored.c_cflag, original.c_cflag);
        QCOMPARE(restored.c_iflag, original.c_iflag);
        QCOMPARE(restored.c_oflag, original.c_oflag);
        QCOMPARE(restored.c_lflag, original.c_lflag);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(restored.c_cc), NCCS),
                 QByteArray(reinterpret_cast<const char *>(original.c_cc), NCCS));
        QCOMPARE(cfgetispeed(&restored), speed_t(B2400));
    }

    void syncMethodIsRefusedWhileOpen() {
        PtyPair pty;
        TComPort port;
        port.SetPort(pty.SlavePath());
        port.Open();
        const ComFailure failure = FailureOf([&] { port.SetSyncMethod(smNone); });
        QCOMPARE(failure.Code, 14);
        QCOMPARE(failure.Error, -1);
        QCOMPARE(port.SyncMethod(), smThreadSync);
        port.Close();
        port.SetSyncMethod(smNone);
        QCOMPARE(port.SyncMethod(), smNone);
    }

    void linksAttachOnce() {
        TComPort port;
        TComLink link;
        port.AttachLink(&link);
        QVERIFY_THROWS_EXCEPTION(EComPort, port.AttachLink(&link));
        port.DetachLink(&link);
        QVERIFY_THROWS_EXCEPTION(EComPort, port.DetachLink(&link));
    }

    void destroyingAnOpenPortClosesIt() {
        PtyPair pty;
        QStringList log;
        {
            TComPort port;
            port.SetPort(pty.SlavePath());
            port.OnAfterClose = [&log](QObject *) { log << "AfterClose"; };
            port.Open();
            QVERIFY(!FlockFree(pty.Slave()));
        }
        QCOMPARE(log, QStringList({"AfterClose"}));
        QVERIFY(FlockFree(pty.Slave()));
    }
};

QTEST_GUILESS_MAIN(TestComPortOpen)
#include "tst_comport_open.moc"
