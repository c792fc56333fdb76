// Port settings as data: change reports, the composite flow control, the device records
// built from them, their limits and their text forms. No device is touched.

#include "serial/CPort.h"
#include "serial/CPortRecords.h"
#include "serial/CPortStored.h"
#include "serial/CPortText.h"

#include <QtTest>

namespace {

struct ChangeCounter : TComSettingsOwner {
    void SettingsChanged(TComSettingsGroup group) override { Groups.push_back(group); }
    std::vector<TComSettingsGroup> Groups;
};

} // namespace

class TestComSettings : public QObject {
    Q_OBJECT

private slots:
    void inputSizeIsStoredEvenAndReportedOnce() {
        ChangeCounter owner;
        TComBuffer buffer(&owner);
        buffer.SetInputSize(1025);
        QCOMPARE(buffer.InputSize(), 1024);
        QCOMPARE(owner.Groups.size(), size_t(0)); // 1024 was already stored
        buffer.SetInputSize(2049);
        buffer.SetInputSize(2048);
        QCOMPARE(buffer.InputSize(), 2048);
        QCOMPARE(owner.Groups, std::vector<TComSettingsGroup>{TComSettingsGroup::QueueSizes});
        buffer.SetOutputSize(-3); // negative odd values stay as they are
        QCOMPARE(buffer.OutputSize(), -3);
    }

    void compositeFlowControl_data() {
        QTest::addColumn<int>("written");
        QTest::addColumn<QString>("then");
        QTest::addColumn<int>("read");
        QTest::newRow("hardware") << int(fcHardware) << "" << int(fcHardware);
        QTest::newRow("hardware, DSR flow plays no part")
            << int(fcHardware) << "OutDSRFlow" << int(fcHardware);
        QTest::newRow("hardware, DTR plays no part")
            << int(fcHardware) << "ControlDTR" << int(fcHardware);
        QTest::newRow("hardware plus XON/XOFF in")
            << int(fcHardware) << "XonXoffIn" << int(fcCustom);
        QTest::newRow("software") << int(fcSoftware) << "" << int(fcSoftware);
        QTest::newRow("software, one switch off")
            << int(fcSoftware) << "XonXoffOut off" << int(fcCustom);
        QTest::newRow("none") << int(fcNone) << "" << int(fcNone);
        QTest::newRow("none, RTS enabled") << int(fcNone) << "ControlRTS" << int(fcCustom);
    }
    void compositeFlowControl() {
        QFETCH(int, written);
        QFETCH(QString, then);
        QFETCH(int, read);
        TComFlowControl flow;
        flow.SetFlowControl(fcSoftware); // start from a state every write must clear
        flow.SetFlowControl(fcHardware);
        flow.SetFlowControl(TFlowControl(written));
        if (then == "OutDSRFlow")
            flow.SetOutDSRFlow(true);
        else if (then == "ControlDTR")
            flow.SetControlDTR(dtrHandshake);
        else if (then == "XonXoffIn")
            flow.SetXonXoffIn(true);
        else if (then == "XonXoffOut off")
            flow.SetXonXoffOut(false);
        else if (then == "ControlRTS")
            flow.SetControlRTS(rtsEnable);
        QCOMPARE(int(flow.FlowControl()), read);
    }

    void customFlowControlChangesNothingButReports() {
        ChangeCounter owner;
        TComFlowControl flow(&owner);
        flow.SetControlRTS(rtsToggle);
        flow.SetXonXoffIn(true);
        owner.Groups.clear();
        flow.SetFlowControl(fcCustom);
        QCOMPARE(flow.ControlRTS(), rtsToggle);
        QVERIFY(flow.XonXoffIn());
        QVERIFY(!flow.XonXoffOut());
        QCOMPARE(owner.Groups, std::vector<TComSettingsGroup>{TComSettingsGroup::LineSettings});
    }

    void assignCopiesAllFieldsAsOneChange() {
        TComTimeouts source;
        source.SetReadInterval(5);
        source.SetWriteTotalConstant(7);
        ChangeCounter owner;
        TComTimeouts copy(&owner);
        copy.Assign(source);
        QCOMPARE(copy.ReadInterval(), 5);
        QCOMPARE(copy.WriteTotalConstant(), 7);
        QCOMPARE(copy.WriteTotalMultiplier(), 100);
        QCOMPARE(owner.Groups, std::vector<TComSettingsGroup>{TComSettingsGroup::Timeouts});
    }

    void storedSettingsGiveTheClockLine() {
        TComPort port;
        SetStoredSettings(port);
        const DCB dcb = BuildDCB(port);
        QCOMPARE(dcb.DCBlength, 28u);
        QCOMPARE(dcb.BaudRate, 4800u);
        QCOMPARE(int(dcb.ByteSize), 8);
        QCOMPARE(int(dcb.Parity), 0);
        QCOMPARE(int(dcb.StopBits), 0);
        QCOMPARE(int(dcb.fBinary), 1);
        QCOMPARE(int(dcb.fDtrControl), 1);
        QCOMPARE(int(dcb.fRtsControl), 0);
        QCOMPARE(int(dcb.EvtChar), 3);
        QCOMPARE(int(dcb.XonChar), 17);
        QCOMPARE(int(dcb.XoffChar), 19);
        QCOMPARE(int(dcb.XonLim), 256);
        QCOMPARE(int(dcb.XoffLim), 256);
        const int otherFlags = dcb.fParity + dcb.fOutxCtsFlow + dcb.fOutxDsrFlow +
                               dcb.fDsrSensitivity + dcb.fTXContinueOnXoff + dcb.fOutX + dcb.fInX +
                               dcb.fErrorChar + dcb.fNull + dcb.fAbortOnError + dcb.ErrorChar +
                               dcb.EofChar;
        QCOMPARE(otherFlags, 0);
        QCOMPARE(port.Port(), std::string("COM1"));
        QCOMPARE(port.Events(), AllComEvents);
        QCOMPARE(port.FlowControl().FlowControl(), fcNone);
    }

    void errorCharNeedsCheckAndReplace() {
        TComPort port;
        port.Parity().SetReplace(true);
        port.Parity().SetReplaceChar('?');
        QCOMPARE(int(BuildDCB(port).fErrorChar), 0);
        QCOMPARE(int(BuildDCB(port).ErrorChar), 0);
        port.Parity().SetCheck(true);
        QCOMPARE(int(BuildDCB(port).fErrorChar), 1);
        QCOMPARE(BuildDCB(port).ErrorChar, '?');
    }

    void defaultTimeouts() {
        const COMMTIMEOUTS timeouts = BuildCommTimeouts(TComTimeouts());
        QCOMPARE(timeouts.ReadIntervalTimeout, 0xFFFFFFFFu);
        QCOMPARE(timeouts.ReadTotalTimeoutMultiplier, 0u);
        QCOMPARE(timeouts.ReadTotalTimeoutConstant, 0u);
        QCOMPARE(timeouts.WriteTotalTimeoutMultiplier, 100u);
        QCOMPARE(timeouts.WriteTotalTimeoutConstant, 1000u);
    }

    void valuesBeyondLimitsAreStoredButCannotBeBuilt_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("value");
        QTest::newRow("input size above 262143") << "InputSize" << 262144;
        QTest::newRow("negative input size") << "InputSize" << -2;
        QTest::newRow("negative output size") << "OutputSize" << -2;
        QTest::newRow("timeout below -1") << "ReadTotalConstant" << -2;
        QTest::newRow("negative custom rate") << "CustomBaudRate" << -1;
    }
    void valuesBeyondLimitsAreStoredButCannotBeBuilt() {
        QFETCH(QString, setting);
        QFETCH(int, value);
        TComPort port;
        port.SetBaudRate(brCustom);
        if (setting == "InputSize")
            port.Buffer().SetInputSize(value);
        else if (setting == "OutputSize")
            port.Buffer().SetOutputSize(value);
        else if (setting == "ReadTotalConstant")
            port.Timeouts().SetReadTotalConstant(value);
        else
            port.SetCustomBaudRate(value);
        auto buildAll = [&] {
            BuildDCB(port);
            BuildCommTimeouts(port.Timeouts());
            BuildQueueSizes(port.Buffer());
        };
        try {
            buildAll();
            QFAIL("no range error");
        } catch (const std::out_of_range &error) {
            QCOMPARE(QString(error.what()), QString("Range check error"));
        }
    }

    void limitValuesBuild() {
        TComPort port;
        port.Buffer().SetInputSize(262142);
        port.Timeouts().SetWriteTotalConstant(-1);
        QCOMPARE(int(BuildDCB(port).XonLim), 65535);
        QCOMPARE(BuildCommTimeouts(port.Timeouts()).WriteTotalTimeoutConstant, 0xFFFFFFFFu);
    }

    void textToValue_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("rate 9600") << "BaudRate"
                                   << "9600" << int(br9600);
        QTest::newRow("rate custom, small letters") << "BaudRate"
                                                    << "custom" << int(brCustom);
        QTest::newRow("rate unknown") << "BaudRate"
                                      << "4801" << int(br9600);
        QTest::newRow("parity NONE") << "Parity"
                                     << "NONE" << int(prNone);
        QTest::newRow("parity nOnE") << "Parity"
                                     << "nOnE" << int(prNone);
        QTest::newRow("parity space") << "Parity"
                                      << "space" << int(prSpace);
        QTest::newRow("parity unknown") << "Parity"
                                        << "Ingen" << int(prNone);
        QTest::newRow("stop bits 1.5") << "StopBits"
                                       << "1.5" << int(sbOne5StopBits);
        QTest::newRow("stop bits unknown") << "StopBits"
                                           << "3" << int(sbOneStopBit);
        QTest::newRow("data bits 7") << "DataBits"
                                     << "7" << int(dbSeven);
        QTest::newRow("data bits empty") << "DataBits"
                                         << "" << int(dbEight);
        QTest::newRow("flow hardware") << "FlowControl"
                                       << "HARDWARE" << int(fcHardware);
        QTest::newRow("flow unknown") << "FlowControl"
                                      << "RTS/CTS" << int(fcCustom);
    }
    void textToValue() {
        QFETCH(QString, setting);
        QFETCH(QString, text);
        QFETCH(int, value);
        const std::string bytes = text.toStdString();
        int got = -1;
        if (setting == "BaudRate")
            got = StrToBaudRate(bytes);
        else if (setting == "Parity")
            got = StrToParity(bytes);
        else if (setting == "StopBits")
            got = StrToStopBits(bytes);
        else if (setting == "DataBits")
            got = StrToDataBits(bytes);
        else
            got = StrToFlowControl(bytes);
        QCOMPARE(got, value);
    }

    void everyValueReadsBackFromItsText() {
        for (int v = brCustom; v <= br256000; ++v)
            QCOMPARE(int(StrToBaudRate(BaudRateToStr(TBaudRate(v)))), v);
        for (int v = prNone; v <= prSpace; ++v)
            QCOMPARE(int(StrToParity(ParityToStr(TParityBits(v)))), v);
        for (int v = fcHardware; v <= fcCustom; ++v)
            QCOMPARE(int(StrToFlowControl(FlowControlToStr(TFlowControl(v)))), v);
        QCOMPARE(BaudRateToStr(br256000), std::string("256000"));
        QCOMPARE(StopBitsToStr(sbTwoStopBits), std::string("2"));
        QCOMPARE(DataBitsToStr(dbFive), std::string("5"));
    }

    void errorTexts_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("open with errno") << 1 << 2 << "Unable to open com port (win error code: 2)";
        QTest::newRow("connected, no errno") << 14 << -1 << "Cannot set property while connected";
        QTest::newRow("registry") << 23 << 5 << "Registry error (win error code: 5)";
    }
    void errorTexts() {
        QFETCH(int, code);
        QFETCH(int, error);
        QFETCH(QString, message);
        const EComPort e(code, error);
        QCOMPARE(QString(e.what()), message);
        QCOMPARE(e.Code(), code);
        QCOMPARE(e.WinErrorCode(), error);
    }
};

QTEST_GUILESS_MAIN(TestComSettings)
#include "tst_comsettings.moc"
