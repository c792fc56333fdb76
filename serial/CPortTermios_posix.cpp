#include "serial/CPortTermios_posix.h"

#include <sys/ioctl.h>

namespace {

struct TSpeed {
    uint32_t Rate;
    speed_t Speed;
};

constexpr TSpeed Speeds[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},    {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},  {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};

tcflag_t DataBitsFlag(uint8_t byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

tcflag_t ParityFlags(uint8_t parity) {
    switch (parity) {
    case 1:
        return PARENB | PARODD;
    case 2:
        return PARENB;
    case 3:
        return PARENB | CMSPAR | PARODD;
    case 4:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

void SetLine(int handle, int line, bool on) {
    ioctl(handle, on ? TIOCMBIS : TIOCMBIC, &line);
}

} // namespace

speed_t StandardSpeed(uint32_t rate) {
    for (const TSpeed &speed : Speeds)
        if (speed.Rate == rate)
            return speed.Speed;
    return B0;
}

void DcbToTermios(const DCB &dcb, termios &settings) {
    cfmakeraw(&settings);
    settings.c_iflag &= ~(INPCK | IGNPAR | IXON | IXOFF | IXANY);
    // CIBAUD cleared: the input runs at the output's rate, not at a split or custom rate the
    // device had before.
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CIBAUD);
    settings.c_cflag |= CLOCAL | CREAD | DataBitsFlag(dcb.ByteSize) | ParityFlags(dcb.Parity);
    // With INPCK a byte with a parity error reads as 0, the replacement Linux offers; a
    // check without replacement passes the byte on as received (the driver still counts it).
    if (dcb.fParity && dcb.fErrorChar)
        settings.c_iflag |= INPCK;
    // With five data bits CSTOPB gives 1.5 stop bits, as the record's 1.5 asks.
    if (dcb.StopBits != 0)
        settings.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == 2)
        settings.c_cflag |= CRTSCTS;
    if (dcb.fOutX)
        settings.c_iflag |= IXON;
    if (dcb.fInX)
        settings.c_iflag |= IXOFF;
    settings.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    settings.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    const speed_t speed = StandardSpeed(dcb.BaudRate);
    cfsetspeed(&settings, speed != B0 ? speed : B38400);
}

void SetModemLines(int handle, const DCB &dcb) {
    // DTR handshake has no Linux counterpart: DTR stays raised. RTS toggle stays low.
    SetLine(handle, TIOCM_DTR, dcb.fDtrControl != 0);
    if (dcb.fRtsControl != 2)
        SetLine(handle, TIOCM_RTS, dcb.fRtsControl == 1);
}
