#include "FakeSysfs.h"
#include "app/uRZ8.h"
#include "serial/CPortDiscovery.h"

#include <QtTest>

namespace {

const QString Timer = " Tavo USB TIMER ";
const QString Serial = " Serial port";

// Builds a tree from lines such as "usb ttyUSB0 0403 6001 A900TEST" or "onboard ttyS0".
void Build(TFakeSysfs &sysfs, const QStringList &ports) {
    for (const QString &line : ports) {
        const QStringList w = line.split(' ');
        if (w[0] == "onboard")
            sysfs.AddOnboardPort(w[1]);
        else if (w[0] == "placeholder")
            sysfs.AddOnboardPort(w[1], 0);
        else if (w[0] == "usb")
            sysfs.AddUsbPort(w[1], w[2], w[3], w.value(4));
        else if (w[0] == "virtual")
            sysfs.AddVirtualTty(w[1]);
        else if (w[0] == "dangling")
            sysfs.AddDanglingPort(w[1]);
        else
            QFAIL(qPrintable("unknown port kind " + w[0]));
    }
}

QStringList Entries(const QComboBox *list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

} // namespace

class TestDiscovery : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void markerSpellings_data();
    void markerSpellings();
    void devicePaths_data();
    void devicePaths();
    void firstActivationFillsTheList_data();
    void firstActivationFillsTheList();
    void laterRunsOnlyAppend();
    void unreadableTreeLeavesTheList();

private:
    void Refresh() { QTest::mouseClick(Form->LMDButton1, Qt::LeftButton); }

    TFakeSysfs *Sysfs = nullptr;
    TForm1 *Form = nullptr;
};

void TestDiscovery::init() {
    Sysfs = new TFakeSysfs;
    Form = new TForm1;
}

void TestDiscovery::cleanup() {
    delete Form;
    delete Sysfs;
}

void TestDiscovery::markerSpellings_data() {
    QTest::addColumn<QString>("devicePath");
    QTest::addColumn<bool>("timer");
    QTest::newRow("capitals") << "USB\\VID_0403&PID_6001\\A900TEST" << true;
    QTest::newRow("small letters") << "usb\\vid_0403&pid_6001" << true;
    QTest::newRow("capital P then small") << "USB\\VID_0403&Pid_6001" << false;
    QTest::newRow("small p then capitals") << "USB\\VID_0403&pID_6001" << false;
    QTest::newRow("other product") << "USB\\VID_0403&PID_6010" << false;
    QTest::newRow("on-board port") << "/sys/devices/platform/serial8250" << false;
    QTest::newRow("unknown device") << "" << false;
}

void TestDiscovery::markerSpellings() {
    QFETCH(QString, devicePath);
    QFETCH(bool, timer);
    const auto entries = PortEntries({{"ttyUSB0", devicePath.toStdString()}});
    QCOMPARE(entries.size(), timer ? 2u : 1u);
    QCOMPARE(entries[0].Text, "ttyUSB0 Serial port");
    QVERIFY(!entries[0].Select);
    if (timer) {
        QCOMPARE(entries[1].Text, "ttyUSB0 Tavo USB TIMER ");
        QVERIFY(entries[1].Select);
    }
}

void TestDiscovery::devicePaths_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("devicePath");
    QTest::newRow("adapter with a serial number") << "usb ttyUSB0 0403 6001 A900TEST"
                                                  << "USB\\VID_0403&PID_6001\\A900TEST";
    QTest::newRow("adapter without one") << "usb ttyACM0 0403 6001"
                                         << "USB\\VID_0403&PID_6001";
    QTest::newRow("ids in small hex") << "usb ttyUSB1 0a5c 21e8"
                                      << "USB\\VID_0A5C&PID_21E8";
    QTest::newRow("on-board port: its device folder") << "onboard ttyS0"
                                                      << "ROOT/devices/platform/serial8250";
    QTest::newRow("device link to nowhere") << "dangling ttyS4"
                                            << "";
}

void TestDiscovery::devicePaths() {
    QFETCH(QString, port);
    QFETCH(QString, devicePath);
    Build(*Sysfs, {port});
    const TPortEnumeration present = EnumeratePresentPorts(Sysfs->Root().toStdString());
    QCOMPARE(present.Error, 0);
    QCOMPARE(present.Ports.size(), 1u);
    QCOMPARE(QString::fromStdString(present.Ports[0].Name), port.section(' ', 1, 1));
    QCOMPARE(QString::fromStdString(present.Ports[0].DevicePath),
             devicePath.replace("ROOT", Sysfs->Root()));
}

void TestDiscovery::firstActivationFillsTheList_data() {
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("text");
    QTest::newRow("on-board port, then adapter")
        << QStringList{"onboard ttyS0", "usb ttyUSB0 0403 6001"}
        << QStringList{"ttyS0" + Serial, "ttyUSB0" + Serial, "ttyUSB0" + Timer}
        << "ttyUSB0" + Timer;
    QTest::newRow("adapter listed first")
        << QStringList{"usb ttyACM0 0403 6001", "onboard ttyS0"}
        << QStringList{"ttyACM0" + Serial, "ttyACM0" + Timer, "ttyS0" + Serial}
        << "ttyACM0" + Timer;
    QTest::newRow("two ports, no adapter: the first")
        << QStringList{"onboard ttyS1", "onboard ttyS0"}
        << QStringList{"ttyS0" + Serial, "ttyS1" + Serial} << "ttyS0" + Serial;
    QTest::newRow("another USB device is a serial port")
        << QStringList{"usb ttyUSB0 067b 2303"} << QStringList{"ttyUSB0" + Serial}
        << "ttyUSB0" + Serial;
    QTest::newRow("two adapters: the last found")
        << QStringList{"usb ttyUSB1 0403 6001", "usb ttyUSB0 0403 6001"}
        << QStringList{"ttyUSB0" + Serial, "ttyUSB0" + Timer, "ttyUSB1" + Serial, "ttyUSB1" + Timer}
        << "ttyUSB1" + Timer;
    QTest::newRow("long names whole, in number order")
        << QStringList{"usb ttyUSB10 0403 6001", "usb ttyUSB2 067b 2303"}
        << QStringList{"ttyUSB2" + Serial, "ttyUSB10" + Serial, "ttyUSB10" + Timer}
        << "ttyUSB10" + Timer;
    QTest::newRow("placeholders and ttys without a device skipped")
        << QStringList{"placeholder ttyS1", "onboard ttyS0", "virtual tty0", "virtual ptmx",
                       "placeholder ttyS2"}
        << QStringList{"ttyS0" + Serial} << "ttyS0" + Serial;
    QTest::newRow("unidentified device still listed")
        << QStringList{"dangling ttyS4"} << QStringList{"ttyS4" + Serial} << "ttyS4" + Serial;
    QTest::newRow("no port: the initial text")
        << QStringList{"virtual tty0", "placeholder ttyS0"} << QStringList{} << "Ingen port funnet";
}

void TestDiscovery::firstActivationFillsTheList() {
    QFETCH(QStringList, ports);
    QFETCH(QStringList, entries);
    QFETCH(QString, text);
    Build(*Sysfs, ports);
    Form->show();
    QCOMPARE(Entries(Form->cbserieporter), entries);
    QCOMPARE(Form->cbserieporter->currentText(), text);
}

void TestDiscovery::laterRunsOnlyAppend() {
    Build(*Sysfs, {"onboard ttyS0", "onboard ttyS1"});
    Form->show();
    const QStringList two{"ttyS0" + Serial, "ttyS1" + Serial};
    Form->cbserieporter->setCurrentIndex(1);
    Refresh();
    QCOMPARE(Entries(Form->cbserieporter), two);
    QCOMPARE(Form->cbserieporter->currentText(), "ttyS1" + Serial);

    // Plugging in the adapter appends its entries and selects the timer; again changes nothing.
    Build(*Sysfs, {"usb ttyUSB0 0403 6001 A900TEST"});
    const QStringList four = two + QStringList{"ttyUSB0" + Serial, "ttyUSB0" + Timer};
    for (int run = 0; run < 2; ++run) {
        Refresh();
        QCOMPARE(Entries(Form->cbserieporter), four);
        QCOMPARE(Form->cbserieporter->currentText(), "ttyUSB0" + Timer);
    }

    // While the adapter is present, each run selects it again over the user's choice.
    Form->cbserieporter->setCurrentIndex(0);
    Refresh();
    QCOMPARE(Form->cbserieporter->currentText(), "ttyUSB0" + Timer);

    // Unplugged, its entries stay and the user's choice is kept.
    Sysfs->Remove("ttyUSB0");
    Form->cbserieporter->setCurrentIndex(1);
    Refresh();
    QCOMPARE(Entries(Form->cbserieporter), four);
    QCOMPARE(Form->cbserieporter->currentText(), "ttyS1" + Serial);
}

void TestDiscovery::unreadableTreeLeavesTheList() {
    const std::string readable = Sysfs->Root().toStdString();
    SetSysfsRoot(readable + "/missing");
    Build(*Sysfs, {"usb ttyUSB0 0403 6001"});
    Form->show();
    QCOMPARE(Form->cbserieporter->count(), 0);
    QCOMPARE(Form->cbserieporter->currentText(), "Ingen port funnet");

    SetSysfsRoot(readable);
    Refresh();
    QCOMPARE(Form->cbserieporter->count(), 2);
    // A run that read the tree would select the timer again.
    Form->cbserieporter->setCurrentIndex(0);
    SetSysfsRoot(readable + "/missing");
    Refresh();
    QCOMPARE(Form->cbserieporter->count(), 2);
    QCOMPARE(Form->cbserieporter->currentText(), "ttyUSB0" + Serial);
}

QTEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
