#pragma once

#include "serial/CPortTypes.h"

// Line counters and modem bits of a serial device, for devices whose driver has them.

struct TLineCounters {
    int Cts = 0, Dsr = 0, Ring = 0, Dcd = 0;
    int Frame = 0, Overrun = 0, Parity = 0, Break = 0, BufferOverrun = 0;
};

// An ioctl error meaning "this device has no such thing" rather than a failure.
bool IsUnsupported(int error);

// false with errno set when the device has no counters or failed.
bool ReadLineCounters(int handle, TLineCounters &counters);
bool ReadModemBits(int handle, int &bits);

TModemSignals ModemBitsToSignals(int bits);
TComErrors ErrorsBetween(const TLineCounters &before, const TLineCounters &after, bool parityCheck);
TComEvents EventsBetween(const TLineCounters &before, const TLineCounters &after);
TComEvents EventsBetweenBits(int before, int after);
