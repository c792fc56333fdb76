#pragma once

#include <cstdint>

// Sets a rate without a Bxxx constant (TCSETS2 with BOTHER). Returns 0 or the errno.
// Kept apart: the kernel's termios2 header clashes with <termios.h>.
int SetCustomBaudRate(int handle, uint32_t rate);
