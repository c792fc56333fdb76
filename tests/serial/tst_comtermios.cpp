// The line-settings record translated to termios. A pseudo-terminal forces 8 data bits and
// no parity, so what a device test cannot see is checked here on the translation itself.

#include "TermiosSpeed.h"
#include "serial/CPort.h"
#include "serial/CPortRecords.h"
#include "serial/CPortStored.h"
#include "serial/CPortTermios_posix.h"

#include <QtTest>
#include <cstring>

Q_DECLARE_METATYPE(DCB)

namespace {

// The record of the clock line: 4800 baud, 8N1, no flow control, XON 17, XOFF 19.
DCB ClockLine() {
    TComPort port;
    SetStoredSettings(port);
    return BuildDCB(port);
}

// Every flag and control character on, or all off: the translation has to set what it needs
// and clear what it must, whatever the device held before.
termios Translated(const DCB &dcb, bool allOn) {
    termios settings;
    std::memset(&settings, allOn ? 0xff : 0, sizeof settings);
    DcbToTermios(dcb, settings);
    return settings;
}

void AddLineRow(const char *name, void (*change)(DCB &), tcflag_t cflagMask, tcflag_t cflag,
                tcflag_t iflagMask, tcflag_t iflag) {
    DCB dcb = ClockLine();
    change(dcb);
    for (const bool allOn : {false, true})
        QTest::addRow("%s, from all %s", name, allOn ? "on" : "off")
            << dcb << allOn << cflagMask << cflag << iflagMask << iflag;
}

constexpr tcflag_t ParityBits = PARENB | PARODD | CMSPAR;
constexpr tcflag_t SoftwareFlow = IXON | IXOFF | IXANY;
// INPCK alone turns a byte with a parity error into 0; IGNPAR would drop it, PARMRK mark it.
constexpr tcflag_t ParityInput = INPCK | IGNPAR | PARMRK;

} // namespace

class TestComTermios : public QObject {
    Q_OBJECT

private slots:
    void everyLineIsRawAndLocal_data() {
        QTest::addColumn<bool>("allOn");
        QTest::newRow("from all off") << false;
        QTest::newRow("from all on") << true;
    }
    void everyLineIsRawAndLocal() {
        QFETCH(bool, allOn);
        const termios settings = Translated(ClockLine(), allOn);
        QCOMPARE(settings.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(settings.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), tcflag_t(0));
        QCOMPARE(settings.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(settings.c_iflag & (IGNBRK | BRKINT | ISTRIP | INLCR | IGNCR | ICRNL),
                 tcflag_t(0));
        QCOMPARE(int(settings.c_cc[VMIN]), 1);
        QCOMPARE(int(settings.c_cc[VTIME]), 0);
        QCOMPARE(int(settings.c_cc[VSTART]), 17);
        QCOMPARE(int(settings.c_cc[VSTOP]), 19);
        QCOMPARE(cfgetospeed(&settings), speed_t(B4800));
        QCOMPARE(cfgetispeed(&settings), speed_t(B4800));
        QCOMPARE(KernelInputSpeed(settings), speed_t(B4800));
    }

    void lineOptions_data() {
        QTest::addColumn<DCB>("dcb");
        QTest::addColumn<bool>("allOn");
        QTest::addColumn<tcflag_t>("cflagMask");
        QTest::addColumn<tcflag_t>("cflag");
        QTest::addColumn<tcflag_t>("iflagMask");
        QTest::addColumn<tcflag_t>("iflag");
        AddLineRow(
            "clock line 8N1", [](DCB &) {}, CSIZE | ParityBits | CSTOPB | CRTSCTS, CS8,
            SoftwareFlow | ParityInput, 0);
        AddLineRow(
            "5 data bits", [](DCB &d) { d.ByteSize = 5; }, CSIZE, CS5, 0, 0);
        AddLineRow(
            "6 data bits", [](DCB &d) { d.ByteSize = 6; }, CSIZE, CS6, 0, 0);
        AddLineRow(
            "7 data bits", [](DCB &d) { d.ByteSize = 7; }, CSIZE, CS7, 0, 0);
        AddLineRow(
            "odd parity", [](DCB &d) { d.Parity = prOdd; }, ParityBits, PARENB | PARODD, 0, 0);
        AddLineRow(
            "even parity", [](DCB &d) { d.Parity = prEven; }, ParityBits, PARENB, 0, 0);
        AddLineRow(
            "mark parity", [](DCB &d) { d.Parity = prMark; }, ParityBits, PARENB | CMSPAR | PARODD,
            0, 0);
        AddLineRow(
            "space parity", [](DCB &d) { d.Parity = prSpace; }, ParityBits, PARENB | CMSPAR, 0, 0);
        AddLineRow(
            "2 stop bits", [](DCB &d) { d.StopBits = sbTwoStopBits; }, CSTOPB, CSTOPB, 0, 0);
        AddLineRow(
            "CTS flow", [](DCB &d) { d.fOutxCtsFlow = 1; }, CRTSCTS, CRTSCTS, SoftwareFlow, 0);
        AddLineRow(
            "RTS handshake", [](DCB &d) { d.fRtsControl = rtsHandshake; }, CRTSCTS, CRTSCTS,
            SoftwareFlow, 0);
        AddLineRow(
            "RTS raised, no handshake", [](DCB &d) { d.fRtsControl = rtsEnable; }, CRTSCTS, 0, 0,
            0);
        AddLineRow(
            "XON/XOFF out", [](DCB &d) { d.fOutX = 1; }, CRTSCTS, 0, SoftwareFlow, IXON);
        AddLineRow(
            "XON/XOFF in", [](DCB &d) { d.fInX = 1; }, CRTSCTS, 0, SoftwareFlow, IXOFF);
        AddLineRow(
            "parity check only: a bad byte passes unchanged",
            [](DCB &d) {
                d.Parity = prEven;
                d.fParity = 1;
            },
            ParityBits, PARENB, ParityInput, 0);
        AddLineRow(
            "parity check with replacement: a bad byte reads as 0",
            [](DCB &d) {
                d.Parity = prEven;
                d.fParity = 1;
                d.fErrorChar = 1;
                d.ErrorChar = '?';
            },
            ParityBits, PARENB, ParityInput, INPCK);
        AddLineRow(
            "replacement without check",
            [](DCB &d) {
                d.fErrorChar = 1;
                d.ErrorChar = '?';
            },
            0, 0, ParityInput, 0);
    }
    void lineOptions() {
        QFETCH(DCB, dcb);
        QFETCH(bool, allOn);
        QFETCH(tcflag_t, cflagMask);
        QFETCH(tcflag_t, cflag);
        QFETCH(tcflag_t, iflagMask);
        QFETCH(tcflag_t, iflag);
        const termios settings = Translated(dcb, allOn);
        QCOMPARE(settings.c_cflag & cflagMask, cflag);
        QCOMPARE(settings.c_iflag & iflagMask, iflag);
    }
};

QTEST_GUILESS_MAIN(TestComTermios)
#include "tst_comtermios.moc"
