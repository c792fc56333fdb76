#include "serial/CPortBaud_posix.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

int SetCustomBaudRate(int handle, uint32_t rate) {
    termios2 settings{};
    if (ioctl(handle, TCGETS2, &settings) != 0)
        return errno;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = rate;
    settings.c_ospeed = rate;
    return ioctl(handle, TCSETS2, &settings) == 0 ? 0 : errno;
}
