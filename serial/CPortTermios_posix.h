#pragma once

#include "serial/CPortRecords.h"

#include <termios.h>

// The line-settings record as far as termios offers it. DSR flow and sensitivity, the event
// character, zero-byte dropping and the XON/XOFF limits have no counterpart.
void DcbToTermios(const DCB &dcb, termios &settings);

// The Bxxx constant of a rate, or B0 when the rate needs BOTHER.
speed_t StandardSpeed(uint32_t rate);

// DTR and RTS as the record wants them; devices without modem lines are left alone.
void SetModemLines(int handle, const DCB &dcb);
