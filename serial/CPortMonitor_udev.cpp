#include "serial/CPortMonitor.h"

#include <QSocketNotifier>
#include <cstring>
#include <libudev.h>

namespace {
// Wakes that bring no announcement; this many in a row means the socket is broken, and
// watching it further would only spin.
constexpr int BrokenAfterEmptyWakes = 100;
} // namespace

TPortMonitor::TPortMonitor(std::function<void()> portAdded, QObject *parent)
    : QObject(parent), PortAdded(std::move(portAdded)) {
    Udev = udev_new();
    if (Udev)
        Monitor = udev_monitor_new_from_netlink(Udev, "udev");
    if (!Monitor || udev_monitor_filter_add_match_subsystem_devtype(Monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(Monitor) < 0 || udev_monitor_get_fd(Monitor) < 0) {
        Stop();
        return;
    }
    Notifier = new QSocketNotifier(udev_monitor_get_fd(Monitor), QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, &TPortMonitor::Receive);
}

TPortMonitor::~TPortMonitor() {
    Stop();
}

void TPortMonitor::Receive() {
    bool added = false;
    bool received = false;
    // The socket does not block: read every announcement that is waiting.
    while (udev_device *device = udev_monitor_receive_device(Monitor)) {
        received = true;
        const char *action = udev_device_get_action(device);
        added = added || (action && std::strcmp(action, "add") == 0);
        udev_device_unref(device);
    }
    EmptyWakes = received ? 0 : EmptyWakes + 1;
    if (EmptyWakes >= BrokenAfterEmptyWakes)
        Stop();
    if (added && PortAdded)
        PortAdded();
}

void TPortMonitor::Stop() {
    delete Notifier;
    Notifier = nullptr;
    if (Monitor)
        udev_monitor_unref(Monitor);
    Monitor = nullptr;
    if (Udev)
        udev_unref(Udev);
    Udev = nullptr;
}
