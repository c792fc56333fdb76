#pragma once

#include <cstdint>

class TCustomComPort;
class TComTimeouts;
class TComBuffer;

// The line-settings record of the device interface; flags kept as separate small fields.
struct DCB {
    uint32_t DCBlength = 0;
    uint32_t BaudRate = 0;
    uint8_t fBinary = 0;
    uint8_t fParity = 0;
    uint8_t fOutxCtsFlow = 0;
    uint8_t fOutxDsrFlow = 0;
    uint8_t fDtrControl = 0;
    uint8_t fDsrSensitivity = 0;
    uint8_t fTXContinueOnXoff = 0;
    uint8_t fOutX = 0;
    uint8_t fInX = 0;
    uint8_t fErrorChar = 0;
    uint8_t fNull = 0;
    uint8_t fRtsControl = 0;
    uint8_t fAbortOnError = 0;
    uint16_t wReserved = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    uint16_t wReserved1 = 0;
};

struct COMMTIMEOUTS {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

struct TComQueueSizes {
    uint32_t Input = 0;
    uint32_t Output = 0;
};

// Builders; a setting outside its limits throws std::out_of_range("Range check error").
DCB BuildDCB(const TCustomComPort &port);
COMMTIMEOUTS BuildCommTimeouts(const TComTimeouts &timeouts);
TComQueueSizes BuildQueueSizes(const TComBuffer &buffer);

uint32_t BaudRateValue(const TCustomComPort &port);
