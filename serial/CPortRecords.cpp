#include "serial/CPortRecords.h"

#include "serial/CPort.h"

#include <stdexcept>

namespace {

constexpr uint32_t StandardRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                      19200, 38400, 56000, 57600, 115200, 128000, 256000};

[[noreturn]] void RangeError() {
    throw std::out_of_range("Range check error");
}

uint32_t Checked(int64_t value, int64_t low, int64_t high) {
    if (value < low || value > high)
        RangeError();
    return static_cast<uint32_t>(value);
}

// -1 is the all-ones value; anything below it does not fit.
uint32_t TimeoutValue(int32_t value) {
    return value == -1 ? 0xFFFFFFFFu : Checked(value, 0, INT32_MAX);
}

} // namespace

uint32_t BaudRateValue(const TCustomComPort &port) {
    if (port.BaudRate() == brCustom)
        return Checked(port.CustomBaudRate(), 0, INT32_MAX);
    return StandardRates[port.BaudRate() - br110];
}

DCB BuildDCB(const TCustomComPort &port) {
    const TComParity &parity = port.Parity();
    const TComFlowControl &flow = port.FlowControl();
    DCB dcb;
    dcb.DCBlength = 28;
    dcb.BaudRate = BaudRateValue(port);
    dcb.fBinary = 1;
    dcb.fParity = parity.Check();
    dcb.fOutxCtsFlow = flow.OutCTSFlow();
    dcb.fOutxDsrFlow = flow.OutDSRFlow();
    dcb.fDtrControl = static_cast<uint8_t>(flow.ControlDTR());
    dcb.fDsrSensitivity = flow.DSRSensitivity();
    dcb.fTXContinueOnXoff = flow.TxContinueOnXoff();
    dcb.fOutX = flow.XonXoffOut();
    dcb.fInX = flow.XonXoffIn();
    dcb.fErrorChar = parity.Check() && parity.Replace();
    dcb.fNull = port.DiscardNull();
    dcb.fRtsControl = static_cast<uint8_t>(flow.ControlRTS());
    // A quarter of the input size must fit the 16-bit limits.
    const auto limit = static_cast<uint16_t>(Checked(port.Buffer().InputSize(), 0, 262143) / 4);
    dcb.XonLim = limit;
    dcb.XoffLim = limit;
    dcb.ByteSize = static_cast<uint8_t>(5 + port.DataBits());
    dcb.Parity = static_cast<uint8_t>(parity.Bits());
    dcb.StopBits = static_cast<uint8_t>(port.StopBits());
    dcb.XonChar = flow.XonChar();
    dcb.XoffChar = flow.XoffChar();
    if (dcb.fErrorChar)
        dcb.ErrorChar = parity.ReplaceChar();
    dcb.EvtChar = port.EventChar();
    return dcb;
}

COMMTIMEOUTS BuildCommTimeouts(const TComTimeouts &timeouts) {
    COMMTIMEOUTS record;
    record.ReadIntervalTimeout = TimeoutValue(timeouts.ReadInterval());
    record.ReadTotalTimeoutMultiplier = TimeoutValue(timeouts.ReadTotalMultiplier());
    record.ReadTotalTimeoutConstant = TimeoutValue(timeouts.ReadTotalConstant());
    record.WriteTotalTimeoutMultiplier = TimeoutValue(timeouts.WriteTotalMultiplier());
    record.WriteTotalTimeoutConstant = TimeoutValue(timeouts.WriteTotalConstant());
    return record;
}

TComQueueSizes BuildQueueSizes(const TComBuffer &buffer) {
    return {Checked(buffer.InputSize(), 0, INT32_MAX), Checked(buffer.OutputSize(), 0, INT32_MAX)};
}
