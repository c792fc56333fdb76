// The port setup dialog and its setting boxes, against pseudo-terminals and a fake device
// tree: what the boxes list and show, what "OK" writes to a closed or an open port, what
// every other way out leaves alone, and the failures.

#include "FakeSysfs.h"
#include "PortRecorder.h"
#include "PortTestSupport.h"
#include "SetupAnswer.h"
#include "serial/CPortCtl.h"
#include "serial/CPortErrorHandler.h"
#include "serial/CPortSetup.h"
#include "serial/CPortStored.h"

#include <QScreen>
#include <QtTest>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

using TPortSetup = std::function<void(TCustomComPort &)>;
Q_DECLARE_METATYPE(TPortSetup)

namespace {

speed_t SpeedOf(int handle) {
    const termios settings = SettingsOf(handle);
    return cfgetospeed(&settings);
}

// The line settings the dialog edits, with the flow-control fields behind the composite, so
// a comparison shows any field a box changed.
QString LineSettings(const TCustomComPort &port) {
    const TComFlowControl &flow = port.FlowControl();
    return QString("baud %1 (custom %2) data %3 stop %4 parity %5 rts %6 cts %7 dsr %8 dtr %9 "
                   "xon in %10 out %11")
        .arg(port.BaudRate())
        .arg(port.CustomBaudRate())
        .arg(port.DataBits())
        .arg(port.StopBits())
        .arg(port.Parity().Bits())
        .arg(flow.ControlRTS())
        .arg(flow.OutCTSFlow())
        .arg(flow.OutDSRFlow())
        .arg(flow.ControlDTR())
        .arg(flow.XonXoffIn())
        .arg(flow.XonXoffOut());
}

QStringList Items(const QComboBox &box) {
    QStringList texts;
    for (int i = 0; i < box.count(); ++i)
        texts << box.itemText(i);
    return texts;
}

// Picks given as "N text": N the box number, 1 for the port name to 6 for flow control.
void PickAll(TComSetupFrm &dialog, const QStringList &picks) {
    TComComboBox *const boxes[] = {dialog.Combo1, dialog.Combo2, dialog.Combo3,
                                   dialog.Combo4, dialog.Combo5, dialog.Combo6};
    for (const QString &pick : picks)
        Pick(boxes[pick.section(' ', 0, 0).toInt() - 1], pick.section(' ', 1));
}

void AddPorts(TFakeSysfs &sysfs, const QStringList &names) {
    for (const QString &name : names)
        sysfs.AddOnboardPort(name);
}

int SetupDialogsLeft() {
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<TComSetupFrm *>(widget) != nullptr;
    return count;
}

// Names under /dev that lead to pseudo-terminals, as an adapter's device node would; they
// go again with the fixture.
class TDevNames {
public:
    ~TDevNames() {
        for (const QByteArray &path : FPaths)
            unlink(path.constData());
    }
    // The new name, or empty when /dev takes no link.
    QString Add(const std::string &target) {
        const QString name = QString("rz8-test-%1-%2").arg(getpid()).arg(FPaths.size() + 1);
        const QByteArray path = ("/dev/" + name).toLocal8Bit();
        unlink(path.constData()); // left by a run that crashed with the same id
        if (symlink(target.c_str(), path.constData()) != 0)
            return {};
        FPaths << path;
        return name;
    }

private:
    QList<QByteArray> FPaths;
};

const QStringList OpenClose = {"BeforeOpen", "AfterOpen", "BeforeClose", "AfterClose"};

} // namespace

class TestComSetup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The font the main window gives the application.
        QFont base("Liberation Sans");
        base.setPixelSize(11);
        QApplication::setFont(base);
    }

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

    void layout() {
        TFakeSysfs sysfs;
        TComSetupFrm dialog;
        QCOMPARE(dialog.windowTitle(), QString("Setup"));
        QCOMPARE(dialog.size(), QSize(231, 216));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.font().family(), QString("Liberation Sans"));
        QCOMPARE(dialog.font().pixelSize(), 11);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY((dialog.geometry().center() - screen.center()).manhattanLength() <= 1);

        QCOMPARE(dialog.GroupBox1->geometry(), QRect(8, 8, 217, 169));
        QCOMPARE(dialog.GroupBox1->title(), QString(" Settings "));
        const QLabel *labels[] = {dialog.Label1, dialog.Label2, dialog.Label3,
                                  dialog.Label4, dialog.Label5, dialog.Label6};
        const TComComboBox *boxes[] = {dialog.Combo1, dialog.Combo2, dialog.Combo3,
                                       dialog.Combo4, dialog.Combo5, dialog.Combo6};
        const QStringList captions = {"Port",      "Baud rate", "Data bits",
                                      "Stop bits", "Parity",    "Flow control"};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(labels[i]->parentWidget(), dialog.GroupBox1);
            QCOMPARE(labels[i]->pos(), QPoint(8, 24 + 24 * i));
            QCOMPARE(labels[i]->text(), captions[i]);
            // The caption fits its label.
            QVERIFY(labels[i]->fontMetrics().horizontalAdvance(captions[i]) <= labels[i]->width());
            QCOMPARE(boxes[i]->parentWidget(), dialog.GroupBox1);
            QCOMPARE(boxes[i]->geometry(), QRect(80, 16 + 24 * i, 129, 21));
            QCOMPARE(boxes[i]->ComProperty(), TComProperty(cpPort + i));
            QCOMPARE(boxes[i]->AutoApply(), false);
        }
        QCOMPARE(dialog.Button1->geometry(), QRect(70, 184, 75, 25));
        QCOMPARE(dialog.Button1->text(), QString("OK"));
        QVERIFY(dialog.Button1->isDefault());
        QCOMPARE(dialog.Button2->geometry(), QRect(150, 184, 75, 25));
        QCOMPARE(dialog.Button2->text(), QString("Cancel"));
        QVERIFY(!dialog.Button2->isDefault());

        QStringList order;
        QWidget *widget = dialog.Combo1;
        do {
            if (widget->focusPolicy() & Qt::TabFocus)
                order << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (widget != dialog.Combo1);
        QCOMPARE(order, QStringList({"Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6",
                                     "Button1", "Button2"}));
    }

    void modalResults_data() {
        QTest::addColumn<TClose>("close");
        QTest::addColumn<int>("result");
        QTest::newRow("OK") << TClose::Ok << 1;
        QTest::newRow("Enter in a box") << TClose::Enter << 1;
        QTest::newRow("Cancel") << TClose::Cancel << 2;
        QTest::newRow("close box") << TClose::CloseBox << 0;
        QTest::newRow("Escape") << TClose::Escape << 0;
    }
    void modalResults() {
        QFETCH(TClose, close);
        QFETCH(int, result);
        TFakeSysfs sysfs;
        TComSetupFrm dialog;
        TSetupAnswer answer(nullptr, close);
        QCOMPARE(dialog.exec(), result);
        QVERIFY(answer.Answered());
    }

    void okWithoutPicking_data() {
        QTest::addColumn<TPortSetup>("setup");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("name");
        const auto stored = [](const std::string &name) {
            return TPortSetup([name](TCustomComPort &port) {
                SetStoredSettings(port);
                port.SetPort(name);
            });
        };
        QTest::newRow("stored settings")
            << stored("ttyS0") << QStringList({"ttyS0", "4800", "8", "1", "None", "None"})
            << "ttyS0";
        // Nothing selected and nothing picked: the name stays.
        QTest::newRow("name not listed")
            << stored("COM1") << QStringList({"", "4800", "8", "1", "None", "None"}) << "COM1";
        QTest::newRow("name listed in other letter case")
            << stored("TTYS10") << QStringList({"ttyS10", "4800", "8", "1", "None", "None"})
            << "ttyS10";
        const TPortSetup oddLine = [](TCustomComPort &port) {
            port.SetPort("ttyS2");
            port.SetBaudRate(br115200);
            port.SetDataBits(dbSeven);
            port.SetStopBits(sbOne5StopBits);
            port.Parity().SetBits(prMark);
            port.FlowControl().SetControlRTS(rtsEnable);
            port.FlowControl().SetControlDTR(dtrHandshake);
            port.FlowControl().SetXonXoffIn(true);
        };
        QTest::newRow("odd line, flow control of no kind")
            << oddLine << QStringList({"ttyS2", "115200", "7", "1.5", "Mark", "Custom"}) << "ttyS2";
        const TPortSetup customRate = [](TCustomComPort &port) {
            port.SetPort("ttyS1");
            port.SetBaudRate(brCustom);
            port.SetCustomBaudRate(31250);
            port.SetDataBits(dbFive);
            port.SetStopBits(sbTwoStopBits);
            port.Parity().SetBits(prSpace);
            port.FlowControl().SetFlowControl(fcHardware);
            port.FlowControl().SetOutDSRFlow(true);
        };
        QTest::newRow("custom rate, hardware flow")
            << customRate << QStringList({"ttyS1", "Custom", "5", "2", "Space", "Hardware"})
            << "ttyS1";
        const TPortSetup softwareFlow = [](TCustomComPort &port) {
            port.SetPort("ttyS1");
            port.SetBaudRate(br256000);
            port.SetDataBits(dbSix);
            port.Parity().SetBits(prOdd);
            port.FlowControl().SetFlowControl(fcSoftware);
        };
        QTest::newRow("software flow")
            << softwareFlow << QStringList({"ttyS1", "256000", "6", "1", "Odd", "Software"})
            << "ttyS1";
    }
    void okWithoutPicking() {
        QFETCH(TPortSetup, setup);
        QFETCH(QStringList, shown);
        QFETCH(QString, name);
        TFakeSysfs sysfs;
        AddPorts(sysfs, {"ttyS0", "ttyS1", "ttyS10", "ttyS2"});
        TComPort port;
        setup(port);
        const QString before = LineSettings(port);

        QStringList texts;
        int portIndex = -2;
        TSetupAnswer answer(
            [&](TComSetupFrm &dialog) {
                texts = ShownTexts(dialog);
                portIndex = dialog.Combo1->currentIndex();
            },
            TClose::Ok);
        port.OpenSetupDialog();
        QVERIFY(answer.Answered());
        QCOMPARE(texts, shown);
        QCOMPARE(portIndex == -1, shown[0].isEmpty());
        QCOMPARE(LineSettings(port), before);
        QCOMPARE(QString::fromStdString(port.Port()), name);
    }

    void closedPortStoresTheChoices() {
        TFakeSysfs sysfs;
        AddPorts(sysfs, {"ttyS0"});
        PtyPair pty;
        TComPort port;
        SetStoredSettings(port);
        port.SetPort(pty.SlavePath());
        const termios untouched = SettingsOf(pty.Slave());

        TSetupAnswer answer(
            [](TComSetupFrm &dialog) {
                PickAll(dialog, {"2 9600", "3 7", "4 2", "5 Even", "6 Hardware"});
            },
            TClose::Ok);
        port.OpenSetupDialog();
        QVERIFY(answer.Answered());
        QCOMPARE(port.BaudRate(), br9600);
        QCOMPARE(port.DataBits(), dbSeven);
        QCOMPARE(port.StopBits(), sbTwoStopBits);
        QCOMPARE(port.Parity().Bits(), prEven);
        QCOMPARE(port.FlowControl().FlowControl(), fcHardware);
        QCOMPARE(port.Port(), pty.SlavePath());
        QVERIFY(!port.Connected());
        QVERIFY(FlockFree(pty.Slave()));
        QCOMPARE(SettingsOf(pty.Slave()).c_cflag, untouched.c_cflag);

        port.Open();
        const termios applied = SettingsOf(pty.Slave());
        QCOMPARE(cfgetospeed(&applied), speed_t(B9600));
        QCOMPARE(applied.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(CSTOPB | CRTSCTS));
    }

    void openPortTakesTheNewNameAtOnce() {
        PtyPair first, second;
        TDevNames dev;
        const QString firstName = dev.Add(first.SlavePath());
        const QString secondName = dev.Add(second.SlavePath());
        if (firstName.isEmpty() || secondName.isEmpty())
            QSKIP("/dev takes no links here");
        TFakeSysfs sysfs;
        AddPorts(sysfs, {"ttyS0", firstName, secondName});
        const termios firstOwn = SettingsOf(first.Slave());
        const speed_t secondOwn = SpeedOf(second.Slave());

        TComPort port;
        SetStoredSettings(port);
        port.SetPort(firstName.toStdString());
        port.Open();
        QCOMPARE(SpeedOf(first.Slave()), speed_t(B4800));
        PortRecorder recorder(port);
        // The device's rate when the port has just reopened under the new name.
        speed_t speedAtReopen = 0;
        port.OnAfterOpen = [&](QObject *) {
            recorder.Add("AfterOpen");
            speedAtReopen = SpeedOf(second.Slave());
        };

        QStringList shown;
        TSetupAnswer answer(
            [&](TComSetupFrm &dialog) {
                shown = ShownTexts(dialog);
                PickAll(dialog, {"1 " + secondName, "2 9600"});
            },
            TClose::Ok);
        port.OpenSetupDialog();
        QVERIFY(answer.Answered());
        QCOMPARE(shown.first(), firstName);
        QCOMPARE(recorder.Only(OpenClose), OpenClose.mid(2) + OpenClose.mid(0, 2));
        QVERIFY(port.Connected());
        QCOMPARE(QString::fromStdString(port.Port()), secondName);
        // Held back while the port reopened, the line settings came once, at the end.
        QCOMPARE(speedAtReopen, secondOwn);
        QCOMPARE(SpeedOf(second.Slave()), speed_t(B9600));
        QCOMPARE(port.WriteString("x"), 1);
        QCOMPARE(second.Read(1), std::string("x"));
        // The first device is closed and has its own settings back.
        QVERIFY(FlockFree(first.Slave()));
        QCOMPARE(SettingsOf(first.Slave()).c_cflag, firstOwn.c_cflag);
    }

    void nothingAppliedUnlessOk_data() {
        QTest::addColumn<TClose>("close");
        QTest::newRow("Cancel") << TClose::Cancel;
        QTest::newRow("close box") << TClose::CloseBox;
        QTest::newRow("Escape") << TClose::Escape;
    }
    void nothingAppliedUnlessOk() {
        QFETCH(TClose, close);
        TFakeSysfs sysfs;
        AddPorts(sysfs, {"ttyS0", "ttyS1"});
        PtyPair pty;
        TComPort port;
        SetStoredSettings(port);
        port.SetPort(pty.SlavePath());
        port.Open();
        const QString before = LineSettings(port);
        const termios device = SettingsOf(pty.Slave());
        PortRecorder recorder(port);

        TSetupAnswer answer(
            [](TComSetupFrm &dialog) {
                PickAll(dialog, {"1 ttyS1", "2 9600", "3 7", "5 Even", "6 Hardware"});
            },
            close);
        port.OpenSetupDialog();
        QVERIFY(answer.Answered());
        QCOMPARE(LineSettings(port), before);
        QCOMPARE(port.Port(), pty.SlavePath());
        QVERIFY(port.Connected());
        QCOMPARE(recorder.Log, QStringList());
        QCOMPARE(SettingsOf(pty.Slave()).c_cflag, device.c_cflag);
        QCOMPARE(SetupDialogsLeft(), 0);
    }

    void unreadableTree_data() {
        QTest::addColumn<bool>("file");
        QTest::addColumn<int>("error");
        QTest::newRow("tty folder missing") << false << ENOENT;
        QTest::newRow("tty folder is a file") << true << ENOTDIR;
    }
    void unreadableTree() {
        QFETCH(bool, file);
        QFETCH(int, error);
        TFakeSysfs sysfs;
        QVERIFY(QDir(sysfs.Root() + "/class/tty").removeRecursively());
        if (file) {
            QFile tty(sysfs.Root() + "/class/tty");
            QVERIFY(tty.open(QIODevice::WriteOnly));
        }
        TComPort port;
        SetStoredSettings(port);
        const QString before = LineSettings(port);

        TSetupAnswer answer([](TComSetupFrm &) { QFAIL("the dialog was shown"); }, TClose::Cancel);
        const ComFailure failure = FailureOf([&] { port.OpenSetupDialog(); });
        QCOMPARE(failure.Code, 23);
        QCOMPARE(failure.Error, error);
        QCOMPARE(failure.Message, QString("Registry error (win error code: %1)").arg(error));
        QCOMPARE(LineSettings(port), before);
        QCOMPARE(SetupDialogsLeft(), 0);
    }

    void failingApply_data() {
        QTest::addColumn<QStringList>("picks");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("baudRate");
        // The baud rate is never applied: the port name comes first.
        QTest::newRow("new name that cannot be opened")
            << QStringList({"1 ttyRZ8none", "2 9600"}) << 1 << ENOENT << false << int(br4800);
        // The stored custom rate is 0, which the device refuses.
        QTest::newRow("line settings refused at the end")
            << QStringList({"2 Custom"}) << 7 << EINVAL << true << int(brCustom);
    }
    void failingApply() {
        QFETCH(QStringList, picks);
        QFETCH(int, code);
        QFETCH(int, error);
        QFETCH(bool, connected);
        QFETCH(int, baudRate);
        TFakeSysfs sysfs;
        AddPorts(sysfs, {"ttyS0", "ttyRZ8none"});
        PtyPair pty;
        TComPort port;
        SetStoredSettings(port);
        port.SetPort(pty.SlavePath());
        port.SetCustomBaudRate(0);
        port.Open();

        TSetupAnswer answer([&](TComSetupFrm &dialog) { PickAll(dialog, picks); }, TClose::Ok);
        const ComFailure failure = FailureOf([&] { port.OpenSetupDialog(); });
        QVERIFY(answer.Answered());
        QCOMPARE(failure.Code, code);
        QCOMPARE(failure.Error, error);
        QCOMPARE(port.Connected(), connected);
        QCOMPARE(int(port.BaudRate()), baudRate);
        QCOMPARE(SetupDialogsLeft(), 0);

        // The settings update has ended: an open applies, and so does a change after it.
        if (!port.Connected()) {
            port.SetPort(pty.SlavePath());
            port.Open();
            QCOMPARE(SpeedOf(pty.Slave()), speed_t(B4800));
        }
        port.SetBaudRate(br9600);
        QCOMPARE(SpeedOf(pty.Slave()), speed_t(B9600));
    }
};

QTEST_MAIN(TestComSetup)
#include "tst_comsetup.moc"
