// The whole program discovers an adapter and uploads to it: it runs in a child process in a
// private mount namespace, with a fake device tree bound over /sys and /dev/ttyUSB0 leading
// to the virtual clock. Nobody touches the port list.

#include "../app/RecordingDialogs.h"
#include "FakeSysfs.h"
#include "app/uRZ8.h"
#include "tools/VirtualClock.h"

#include <QtTest>
#include <cstdio>
#include <unistd.h>

namespace {

const char *const AdapterPath = "/dev/ttyUSB0";

// The program's side: shows the window, reports the port list, clicks "Send data".
int RunChild(int argc, char *argv[]) {
    QApplication app(argc, argv);
    TRecordingDialogs dialogs;
    TForm1 form;
    form.Edit2->setText(QApplication::arguments().at(2));
    form.show();
    QTimer::singleShot(0, &form, [&] {
        std::printf("port: %s\n", qPrintable(form.cbserieporter->currentText()));
        std::fflush(stdout);
        QTest::mouseClick(form.AdvPanel5, Qt::LeftButton);
        std::printf("status: %s\n", qPrintable(form.lbjobb->text()));
        for (const QString &text : dialogs.Messages + dialogs.Errors)
            std::printf("shown: %s\n", qPrintable(text));
        form.close();
    });
    return QApplication::exec();
}

} // namespace

class TestDiscoveredUpload : public QObject {
    Q_OBJECT
private slots:
    void adapterFoundAtStartTakesTheUpload();
};

void TestDiscoveredUpload::adapterFoundAtStartTakesTheUpload() {
    if (geteuid() != 0)
        QSKIP("binding a tree over /sys needs root");
    if (QFileInfo::exists(AdapterPath) || QFileInfo(AdapterPath).isSymLink())
        QSKIP("a real /dev/ttyUSB0 exists");
    TFakeSysfs sysfs;
    sysfs.AddOnboardPort("ttyS0");
    sysfs.AddUsbPort("ttyUSB0", "0403", "6001", "A900TEST");
    QTemporaryDir dir;
    const QString file = dir.filePath("import.RZ7");
    QFile import(file);
    QVERIFY(import.open(QIODevice::WriteOnly));
    import.write("<?xml?>\r\n<RZ7>\r\n\r\n\r\n<class>,1,2\r\n<name>,78,0,1,75,97,114,105,</"
                 "name>\r\n</RZ7>\r\n");
    import.close();
    VirtualClock::Options options;
    options.linkPath = AdapterPath;
    VirtualClock clock(options);

    QProcess child;
    child.start("unshare",
                {"-m", "sh", "-c", "mount --bind \"$0\" /sys && exec \"$1\" --child \"$2\"",
                 sysfs.Root(), QCoreApplication::applicationFilePath(), file});
    QVERIFY(child.waitForStarted());
    const bool ended = child.waitForFinished(30000);
    if (!ended)
        child.kill();
    QVERIFY2(ended, "the program did not end");
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(child.readAllStandardError());
    if (out.isEmpty() && (err.contains("unshare") || err.contains("mount")))
        QSKIP(qPrintable("no private mount namespace here: " + err.trimmed()));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(out.split('\n', Qt::SkipEmptyParts),
             QStringList({"port: ttyUSB0 Tavo USB TIMER ", "status: Ferdig"}));
    // Both records and the closing line reached the clock, each taken at once.
    const auto packets = clock.Packets();
    QCOMPARE(packets.size(), 3u);
    for (const auto &packet : packets)
        QCOMPARE(packet.attempt, 0);
    QVERIFY(packets.back().closing);
}

int main(int argc, char *argv[]) {
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return RunChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestDiscoveredUpload test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_discoveredupload.moc"
