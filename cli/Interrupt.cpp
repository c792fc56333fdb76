#include "cli/Interrupt.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int Pipe[2] = {-1, -1};

void Handler(int signal) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    // Nothing else is safe in a signal handler; a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t written = ::write(Pipe[1], &byte, 1);
}

} // namespace

TInterrupt::TInterrupt(QObject *parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, Pipe) != 0)
        return;
    Notifier = new QSocketNotifier(Pipe[0], QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(Pipe[0], &byte, 1) == 1)
            emit Interrupted(byte);
    });
    struct sigaction action {};
    action.sa_handler = Handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

TInterrupt::~TInterrupt() {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    delete Notifier;
    for (int &end : Pipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}
