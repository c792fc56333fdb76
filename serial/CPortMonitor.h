#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Tells when a serial port appears, from udev's announcements of the tty subsystem, on the
// thread that creates it. Without udev, or when its monitor fails, it stays silent.
class TPortMonitor : public QObject {
    Q_OBJECT
public:
    explicit TPortMonitor(std::function<void()> portAdded, QObject *parent = nullptr);
    ~TPortMonitor() override;

    bool Active() const { return Notifier != nullptr; }

private:
    void Receive();
    void Stop();

    std::function<void()> PortAdded;
    udev *Udev = nullptr;
    udev_monitor *Monitor = nullptr;
    QSocketNotifier *Notifier = nullptr;
    int EmptyWakes = 0;
};
