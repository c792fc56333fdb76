// clang-format off: GLib's headers come before Qt's, whose keyword macros clash with them.
#include <umockdev.h>
// clang-format on

#include "app/uRZ8.h"

#include <QtTest>

// Runs under umockdev-wrapper: the testbed stands in for /sys and for udev's announcements.
class TestHotplug : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pluggedInAdapterIsSelectedWithoutAClick();
};

void TestHotplug::pluggedInAdapterIsSelectedWithoutAClick() {
    if (!qgetenv("LD_PRELOAD").contains("umockdev"))
        QSKIP("needs umockdev-wrapper");
    UMockdevTestbed *testbed = umockdev_testbed_new();
    auto release = qScopeGuard([testbed] { g_object_unref(testbed); });
    TForm1 form;
    form.show();
    // Activation runs discovery too: let it happen before the adapter appears.
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(form.cbserieporter->count(), 0);

    // Adding the device to the testbed announces it to udev's listeners as an "add".
    GError *error = nullptr;
    QVERIFY(umockdev_testbed_add_from_file(testbed, RZ8_ADAPTER_FILE, &error));
    QTRY_COMPARE(form.cbserieporter->currentText(), "ttyUSB0 Tavo USB TIMER ");
    QCOMPARE(form.cbserieporter->count(), 2);

    // Plugged in again after the user chose another entry: selected again.
    form.cbserieporter->setCurrentIndex(0);
    umockdev_testbed_uevent(
        testbed, "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0",
        "add");
    QTRY_COMPARE(form.cbserieporter->currentText(), "ttyUSB0 Tavo USB TIMER ");
}

QTEST_MAIN(TestHotplug)
#include "tst_hotplug.moc"
