#pragma once

// The input rate as the kernel reads a termios: CIBAUD, or the output rate where CIBAUD is B0.
// glibc's cfgetispeed looks at the output bits only, so it cannot show a split input rate.

#include <termios.h>

inline speed_t KernelInputSpeed(const termios &settings) {
    constexpr int InputShift = 16; // IBSHIFT, which <termios.h> leaves out
    const speed_t input = (settings.c_cflag & CIBAUD) >> InputShift;
    return input != B0 ? input : settings.c_cflag & CBAUD;
}
