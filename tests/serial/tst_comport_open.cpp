// Opening and closing a port over a pseudo-terminal: event order, failures, a port the user
// may not open, a new port name while open, and when settings reach the device.

#include "PortRecorder.h"
#include "PortTestSupport.h"
#include "TermiosSpeed.h"
#include "UserChild.h"

#include <QTemporaryFile>
#include <QtTest>
#include <cstdio>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

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

    // Root opens any node, so a child started as an ordinary user tries it: the
    // pseudo-terminal's node, given to `group` with `mode`.
    void deniedOpenAdvisesJoiningTheGroup_data() {
        QTest::addColumn<QString>("group"); // a name, or a number no group has
        QTest::addColumn<uint>("mode");
        QTest::addColumn<uint>("user"); // 54321: a user id with no name
        // The user has the group, and a copy of the node lies on a nodev mount.
        QTest::addColumn<bool>("member");
        QTest::addColumn<QString>("advice"); // %1: the node's path
        const uint nobody = TUserChild::Nobody;
        const QString relogin = " Endringen gjelder først når du har logget inn på nytt.";
        QTest::newRow("group dialout")
            << "dialout" << 0660u << nobody << false
            << "Porten %1 tilhører gruppen «dialout». Legg brukeren «nobody» til i gruppen med "
               "«sudo usermod -aG dialout nobody»." +
                   relogin;
        QTest::newRow("user without a name")
            << "dialout" << 0660u << 54321u << false
            << "Porten %1 tilhører gruppen «dialout». Legg brukeren din til i gruppen med «sudo "
               "usermod -aG dialout BRUKERNAVN»." +
                   relogin;
        QTest::newRow("group without a name")
            << "54321" << 0660u << nobody << false
            << "Porten %1 tilhører gruppen med nummer 54321, som ikke har noe navn. Be om at "
               "brukeren «nobody» legges til i den." +
                   relogin;
        // Joining would not help: no advice.
        QTest::newRow("group may only read") << "dialout" << 0640u << nobody << false << QString();
        QTest::newRow("root's group") << "root" << 0660u << nobody << false << QString();
        QTest::newRow("user in the group, node on a nodev mount")
            << "dialout" << 0660u << nobody << true << QString();
    }
    void deniedOpenAdvisesJoiningTheGroup() {
        QFETCH(QString, group);
        QFETCH(uint, mode);
        QFETCH(uint, user);
        QFETCH(bool, member);
        QFETCH(QString, advice);
        if (geteuid() != 0)
            QSKIP("giving the node to another group and user needs root");
        bool numeric = false;
        gid_t gid = group.toUInt(&numeric);
        if (numeric && getgrgid(gid))
            QSKIP("that group has a name here");
        if (!numeric) {
            const ::group *entry = getgrnam(qPrintable(group));
            if (!entry)
                QSKIP("no such group here");
            gid = entry->gr_gid;
        }
        if (user != TUserChild::Nobody && getpwuid(user))
            QSKIP("that user has a name here");
        PtyPair pty;
        TUserChild child(user, TUserChild::Nobody, member ? QList<gid_t>{gid} : QList<gid_t>{});
        if (!child.Refusal().isEmpty())
            QSKIP(qPrintable(child.Refusal()));
        QString node = QString::fromStdString(pty.SlavePath());
        QStringList command;
        QTemporaryDir mountPoint;
        if (member) {
            // nodev refuses every device node on the mount, whatever its mode and groups.
            struct stat slave {};
            QCOMPARE(fstat(pty.Slave(), &slave), 0);
            node = mountPoint.filePath("ttyRZ8");
            const QString setup = QString("mount -t tmpfs -o nodev,mode=755 rz8 \"$0\" && "
                                          "mknod -m %1 \"$0/ttyRZ8\" c %2 %3 && "
                                          "chown 0:%4 \"$0/ttyRZ8\" && exec \"$@\"")
                                      .arg(QString::number(mode, 8))
                                      .arg(major(slave.st_rdev))
                                      .arg(minor(slave.st_rdev))
                                      .arg(gid);
            command = QStringList{"unshare", "-m", "sh", "-c", setup, mountPoint.path()} +
                      child.Command({"--open", node});
        } else {
            QCOMPARE(chown(pty.SlavePath().c_str(), 0, gid), 0);
            QCOMPARE(chmod(pty.SlavePath().c_str(), mode), 0);
            command = child.Command({"--open", node});
        }
        const QString shown = QString::fromUtf8(child.Run(command));
        if (member && shown.isEmpty())
            QSKIP("no private mount namespace with a nodev mount here");
        QVERIFY2(child.Failure().isEmpty(), qPrintable(child.Failure()));
        QString expected = "Unable to open com port (win error code: 13)";
        if (!advice.isEmpty())
            expected += "\n" + advice.arg(node);
        QCOMPARE(shown, expected + "\n");
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

namespace {

// The child's side of deniedOpenAdvisesJoiningTheGroup: opens the port as the user it runs as
// and prints what came of it.
int OpenAsChild(const char *path) {
    TComPort port;
    port.SetPort(path);
    try {
        port.Open();
        std::puts("opened");
    } catch (const EComPort &e) {
        std::puts(e.what());
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--open") == 0)
        return OpenAsChild(argv[2]);
    TestComPortOpen test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_comport_open.moc"
