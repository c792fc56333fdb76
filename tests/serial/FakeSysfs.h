#pragma once

#include "serial/SetupApi.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A small device tree shaped like the kernel's, which discovery reads instead of /sys while
// the fixture lives.
class TFakeSysfs {
public:
    TFakeSysfs() {
        QDir(Dir.path()).mkpath("class/tty");
        SetSysfsRoot(Root().toStdString());
    }
    ~TFakeSysfs() { SetSysfsRoot("/sys"); }

    QString Root() const { return Dir.path(); }

    // An on-board port of the 8250 driver; type 0 is a placeholder without hardware.
    void AddOnboardPort(const QString &name, int type = 4) {
        const QString tty = "devices/platform/serial8250/tty/" + name;
        Write(tty + "/type", QString::number(type));
        AddTty(name, tty, "../../../serial8250");
    }

    // A port on a USB device with the given vendor, product and serial number.
    void AddUsbPort(const QString &name, const QString &vendor, const QString &product,
                    const QString &serial = {}) {
        const QString usb = QString("devices/pci0000:00/0000:00:14.0/usb1/1-%1").arg(++UsbDevices);
        Write(usb + "/idVendor", vendor);
        Write(usb + "/idProduct", product);
        if (!serial.isEmpty())
            Write(usb + "/serial", serial);
        const QString interface = usb + "/" + usb.section('/', -1) + ":1.0";
        QDir(Dir.path()).mkpath(interface + "/" + name + "/tty/" + name);
        AddTty(name, interface + "/" + name + "/tty/" + name, "../../../" + name);
    }

    // A tty without a device, such as a virtual console.
    void AddVirtualTty(const QString &name) {
        const QString tty = "devices/virtual/tty/" + name;
        QDir(Dir.path()).mkpath(tty);
        Link("../../" + tty, "class/tty/" + name);
    }

    // A port whose device link leads nowhere.
    void AddDanglingPort(const QString &name) {
        AddTty(name, "devices/platform/gone/tty/" + name, "../../../nowhere");
    }

    // The port's device has gone, as when an adapter is unplugged.
    void Remove(const QString &name) { QFile::remove(Dir.filePath("class/tty/" + name)); }

private:
    void AddTty(const QString &name, const QString &tty, const QString &device) {
        QDir(Dir.path()).mkpath(tty);
        Link(device, tty + "/device");
        Link("../../" + tty, "class/tty/" + name);
    }
    void Write(const QString &path, const QString &text) {
        QDir(Dir.path()).mkpath(path.section('/', 0, -2));
        QFile file(Dir.filePath(path));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toLatin1() + "\n");
    }
    void Link(const QString &target, const QString &path) {
        QFile::link(target, Dir.filePath(path));
    }

    QTemporaryDir Dir;
    int UsbDevices = 0;
};
