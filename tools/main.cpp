#include "tools/ClockOptions.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>

int main(int argc, char **argv) {
    ClockCommandLine cl;
    try {
        cl = ParseClockCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception &e) {
        std::cerr << "rz8-virtual-clock: " << e.what() << '\n';
        return 2;
    }
    if (cl.help) {
        std::cout << ClockUsage;
        return 0;
    }
    // Blocked before the clock's thread starts, so only sigwait below sees them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    if (!cl.quiet)
        cl.clock.observer = [](const std::string &line) { std::cout << line << std::flush; };
    try {
        VirtualClock clock(cl.clock);
        std::cout << "Open this port in the program: "
                  << (clock.LinkPath().empty() ? clock.SlavePath()
                                               : clock.LinkPath() + " (" + clock.SlavePath() + ")")
                  << "\nStop with Ctrl-C." << std::endl;
        int sig = 0;
        sigwait(&stop, &sig);
        if (!cl.logPath.empty() && !clock.WriteHexLog(cl.logPath))
            std::cerr << "rz8-virtual-clock: cannot write " << cl.logPath << '\n';
        std::cout << '\n' << clock.Summary() << std::flush;
        if (!cl.logPath.empty())
            std::cout << "hex log: " << cl.logPath << std::endl;
    } catch (const std::exception &e) {
        std::cerr << "rz8-virtual-clock: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
