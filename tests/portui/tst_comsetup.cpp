// The setting boxes of the port setup, against pseudo-terminals and a fake device tree:
// what they list, what they show of their port, and when a pick reaches the port.

#include "../discovery/FakeSysfs.h"
#include "../serial/PortTestSupport.h"
#include "portui/CPortCombo.h"
#include "serial/CPortErrorHandler.h"
#include "serial/CPortStored.h"

#include <QtTest>
#include <memory>
#include <sys/file.h>

namespace {

termios SettingsOf(int handle) {
    termios settings{};
    tcgetattr(handle, &settings);
    return settings;
}

speed_t SpeedOf(int handle) {
    const termios settings = SettingsOf(handle);
    return cfgetospeed(&settings);
}

bool FlockFree(int handle) {
    if (flock(handle, LOCK_EX | LOCK_NB) != 0)
        return false;
    flock(handle, LOCK_UN);
    return true;
}

QStringList Items(const QComboBox &box) {
    QStringList texts;
    for (int i = 0; i < box.count(); ++i)
        texts << box.itemText(i);
    return texts;
}

// Picks an entry by typing its text into the closed box, which selects the first entry that
// starts with it. Two picks in the same box must not follow within the keyboard interval.
void Pick(QComboBox *box, const QString &text) {
    QTest::keyClicks(box, text);
    QCOMPARE(box->currentText(), text);
}

void AddPorts(TFakeSysfs &sysfs, const QStringList &names) {
    for (const QString &name : names)
        sysfs.AddOnboardPort(name);
}

} // namespace

class TestComSetup : public QObject {
    Q_OBJECT

private slots:
    void boxEntries_data() {
        QTest::addColumn<int>("property");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("none") << int(cpNone) << QStringList();
        QTest::newRow("baud rate")
            << int(cpBaudRate)
            << QStringList({"Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400",
                            "19200", "38400", "56000", "57600", "115200", "128000", "256000"});
        QTest::newRow("data bits") << int(cpDataBits) << QStringList({"5", "6", "7", "8"});
        QTest::newRow("stop bits") << int(cpStopBits) << QStringList({"1", "1.5", "2"});
        QTest::newRow("parity") << int(cpParity)
                                << QStringList({"None", "Odd", "Even", "Mark", "Space"});
        QTest::newRow("flow control")
            << int(cpFlowControl) << QStringList({"Hardware", "Software", "None", "Custom"});
    }
    void boxEntries() {
        QFETCH(int, property);
        QFETCH(QStringList, entries);
        TComComboBox box;
        box.SetComProperty(TComProperty(property));
        QVERIFY(!box.isEditable());
        QCOMPARE(Items(box), entries);
        // Without a port the first entry is selected.
        QCOMPARE(box.currentIndex(), entries.isEmpty() ? -1 : 0);
    }

    void portNames_data() {
        QTest::addColumn<QStringList>("onboard");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("numbers compared as text")
            << QStringList({"ttyS2", "ttyS10", "ttyS1", "ttyS0"})
            << QStringList({"ttyS0", "ttyS1", "ttyS10", "ttyS2"});
        QTest::newRow("letter case ignored") << QStringList({"ttyUSB0", "ttyama0", "ttyACM0"})
                                             << QStringList({"ttyACM0", "ttyama0", "ttyUSB0"});
        QTest::newRow("no ports") << QStringList() << QStringList();
    }
    void portNames() {
        QFETCH(QStringList, onboard);
        QFETCH(QStringList, listed);
        TFakeSysfs sysfs;
        AddPorts(sysfs, onboard);
        TComComboBox box;
        box.SetComProperty(cpPort);
        QCOMPARE(Items(box), listed);
        QCOMPARE(box.currentIndex(), listed.isEmpty() ? -1 : 0);
    }

    void portNamesAreThoseDiscoveryLists() {
        TFakeSysfs sysfs;
        sysfs.AddOnboardPort("ttyS0");
        sysfs.AddOnboardPort("ttyS1", 0); // a placeholder without hardware
        sysfs.AddVirtualTty("tty1");
        sysfs.AddUsbPort("ttyUSB0", "0403", "6001", "A900TEST");
        TComComboBox box;
        box.SetComProperty(cpPort);
        QCOMPARE(Items(box), QStringList({"ttyS0", "ttyUSB0"}));
    }

    void boxFollowsItsPort() {
        auto port = std::make_unique<TComPort>();
        SetStoredSettings(*port);
        TComComboBox box;
        box.show();
        box.SetComPort(port.get());
        QCOMPARE(box.count(), 0);
        box.SetComProperty(cpBaudRate); // lists, then shows the port's value
        QCOMPARE(box.currentText(), QString("4800"));

        Pick(&box, "9600");
        box.SetComPort(port.get()); // the same port: the pick stays
        QCOMPARE(box.currentText(), QString("9600"));
        QCOMPARE(port->BaudRate(), br4800);
        TComPort other;
        other.SetBaudRate(br115200);
        box.SetComPort(&other);
        QCOMPARE(box.currentText(), QString("115200"));
        box.SetComPort(port.get());
        QCOMPARE(box.currentText(), QString("4800"));

        port.reset();
        QCOMPARE(box.ComPort(), nullptr);
        QCOMPARE(box.currentText(), QString("Custom"));
        box.LoadFromPort();
        box.ApplyToPort();
        QCOMPARE(box.currentText(), QString("Custom"));
    }

    void pickAppliesOnlyWithAutoApply_data() {
        QTest::addColumn<bool>("autoApply");
        QTest::newRow("auto apply off") << false;
        QTest::newRow("auto apply on") << true;
    }
    void pickAppliesOnlyWithAutoApply() {
        QFETCH(bool, autoApply);
        PtyPair pty;
        TComPort port;
        SetStoredSettings(port);
        port.SetPort(pty.SlavePath());
        port.Open();
        TComComboBox box;
        box.show();
        box.SetComProperty(cpBaudRate);
        box.SetComPort(&port);
        box.SetAutoApply(autoApply);

        Pick(&box, "9600");
        QCOMPARE(port.BaudRate(), autoApply ? br9600 : br4800);
        QCOMPARE(SpeedOf(pty.Slave()), autoApply ? speed_t(B9600) : speed_t(B4800));
        box.ApplyToPort();
        QCOMPARE(port.BaudRate(), br9600);
        QCOMPARE(SpeedOf(pty.Slave()), speed_t(B9600));
    }

    void failingAutoApplyIsShown() {
        TFakeSysfs sysfs;
        AddPorts(sysfs, {"ttyS0", "ttyRZ8none"});
        PtyPair pty;
        TComPort port;
        port.SetPort(pty.SlavePath());
        port.Open();
        QStringList shown;
        struct TRestore {
            ~TRestore() { SetComErrorHandler({}); }
        } restore;
        SetComErrorHandler([&](const std::exception &e) { shown << e.what(); });
        TComComboBox box;
        box.show();
        box.SetComProperty(cpPort);
        box.SetComPort(&port);
        box.SetAutoApply(true);

        Pick(&box, "ttyRZ8none");
        QCOMPARE(shown, QStringList({"Unable to open com port (win error code: 2)"}));
        QCOMPARE(port.Port(), std::string("ttyRZ8none"));
        QVERIFY(!port.Connected());
        QVERIFY(FlockFree(pty.Slave()));
    }
};

QTEST_MAIN(TestComSetup)
#include "tst_comsetup.moc"
