#include "../app/RecordingDialogs.h"
#include "../serial/FakeSysfs.h"
#include "../serial/PtyPair.h"
#include "app/uRZ8.h"
#include "fetch/Capture.h"
#include "tools/VirtualClock.h"
#include "upload/Errors.h"

#include <QtTest>
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Bytes from "2,84,0,3" (decimal, as the log writes them).
std::string Bytes(const QString &decimal) {
    std::string out;
    for (const QString &value : decimal.split(',', Qt::SkipEmptyParts))
        out += char(value.toInt());
    return out;
}

QByteArray ReadFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

mode_t ModeOf(const QString &path) {
    struct stat st {};
    return ::lstat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A CAN and three records as a clock sends them, and the log they give.
const QStringList Example{"24", "2,84,0,14,30,5,3,201", "2,72,1,0,3,77",
                          "2,80,0,0,0,0,0,12,1,44,3,99"};
const QByteArray ExampleLog = "2,84,0,14,30,5,3,201 \r\n"
                              "2,72,1,0,3,77 \r\n"
                              "2,80,0,0,0,0,0,12,1,44,3,99";

} // namespace

class TestCapture : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void logAndAnswers_data();
    void logAndAnswers();
    void endByteAnsweredBeforeTheChecksum();
    void reopeningStartsANewLog();
    void logCreatedSafely_data();
    void logCreatedSafely();

    void capturePortSettings();
    void windowCapturesTheClock_data();
    void windowCapturesTheClock();
    void logThatCannotBeCreatedClosesThePort_data();
    void logThatCannotBeCreatedClosesThePort();
    void failingWriteEndsTheCapture_data();
    void failingWriteEndsTheCapture();
    void openCaptureClosedWithTheWindow_data();
    void openCaptureClosedWithTheWindow();
    void decodingWhileRunning();

private:
    TForm1 *NewForm();
    // Opens the window's capture on the pseudo-terminal.
    void OpenCapture(TForm1 &form, const std::string &port);

    QTemporaryDir Dir;
    QString LogPath;
    TFakeSysfs Sysfs;
    TRecordingDialogs *Dialogs = nullptr;
    TForm1 *Form = nullptr;
};

void TestCapture::init() {
    LogPath = Dir.filePath(
        QString("rz8-%1.log")
            .arg(QString(QTest::currentDataTag()).replace(QRegularExpression("[^a-z0-9]"), "_")));
    QFile::remove(LogPath);
    Dialogs = new TRecordingDialogs;
}

void TestCapture::cleanup() {
    delete Form;
    Form = nullptr;
    delete Dialogs;
}

TForm1 *TestCapture::NewForm() {
    Form = new TForm1;
    Form->CaptureLogPath = LogPath.toStdString();
    // The fetch bar is defined hidden and disabled; the capture is tested as if shown.
    Form->Panel2->setEnabled(true);
    return Form;
}

void TestCapture::OpenCapture(TForm1 &form, const std::string &port) {
    form.ComPort.SetPort(port);
    form.Button_Open->click();
    QVERIFY(form.CaptureRunning());
    QCOMPARE(form.Button_Open->text(), QString("Close"));
}

void TestCapture::logAndAnswers_data() {
    QTest::addColumn<QStringList>("events"); // the bytes of each received-data event
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<int>("acks");
    QTest::addColumn<bool>("acknowledged");

    QTest::newRow("example in one event")
        << QStringList{Example.join(',')} << ExampleLog << 4 << true;
    QStringList single;
    for (const QString &value : Example.join(',').split(','))
        single << value;
    QTest::newRow("example byte by byte") << single << ExampleLog << 4 << true;
    QTest::newRow("two records in one event, checksum alone")
        << QStringList{"24,2,84,0,14,30,5,3,201,2,72,1,0,3", "77", "2,80,0,0,0,0,0,12,1,44,3,99"}
        << ExampleLog << 4 << true;
    QTest::newRow("events with no bytes between")
        << QStringList{"", "24", "", Example[1], "", Example[2], Example[3], ""} << ExampleLog << 4
        << true;
    QTest::newRow("data byte 2 begins an event")
        << QStringList{"2,80,0", "2,7,3,99"} << QByteArray("2,80,0,2,7,3,99") << 1 << true;
    QTest::newRow("CAN inside a record")
        << QStringList{"2,84,24,0", "24,3,201"} << QByteArray("2,84,0,3,201") << 3 << true;
    QTest::newRow("data byte 3 inside a record")
        << QStringList{"2,72,3,2,5,3,77"} << QByteArray("2,72,3 \r\n2,5,3,77") << 2 << true;
    QTest::newRow("a lone CAN") << QStringList{"24"} << QByteArray() << 1 << false;
    QTest::newRow("an event with no bytes") << QStringList{""} << QByteArray() << 0 << false;
}

void TestCapture::logAndAnswers() {
    QFETCH(QStringList, events);
    QFETCH(QByteArray, log);
    QFETCH(int, acks);
    QFETCH(bool, acknowledged);
    TUploadFlags flags;
    int sent = 0;
    TCapture capture(flags, [&] { ++sent; });
    capture.Open(LogPath.toStdString());
    for (const QString &event : events)
        capture.Take(Bytes(event));
    capture.Close();
    QCOMPARE(ReadFile(LogPath), log);
    QCOMPARE(sent, acks);
    QCOMPARE(flags.Acknowledged, acknowledged);
}

void TestCapture::endByteAnsweredBeforeTheChecksum() {
    TUploadFlags flags;
    QByteArrayList onDisk;
    std::unique_ptr<TCapture> capture;
    capture = std::make_unique<TCapture>(flags, [&] {
        capture->Flush();
        onDisk << ReadFile(LogPath);
    });
    capture->Open(LogPath.toStdString());
    capture->Take(Bytes("2,84,0,3,201,2,72,3,77"));
    QCOMPARE(onDisk, (QByteArrayList{"2,84,0,3", "2,84,0,3,201 \r\n2,72,3"}));
    QVERIFY(capture->FrameEnded);
}

void TestCapture::reopeningStartsANewLog() {
    TUploadFlags flags;
    TCapture capture(flags, [] {});
    capture.Open(LogPath.toStdString());
    capture.Take(Bytes("2,84,0,3,201"));
    capture.Close();
    QVERIFY(capture.FrameEnded);

    capture.Open(LogPath.toStdString());
    QCOMPARE(ReadFile(LogPath), QByteArray()); // replaced at once, before anything comes
    QVERIFY(!capture.FrameEnded);
    QVERIFY(capture.AwaitingFirstRecord);
    capture.Take(Bytes("2,72,1,0,3,77"));
    capture.Close();
    QCOMPARE(ReadFile(LogPath), QByteArray("2,72,1,0,3,77"));
}

// The name sits in a folder every user can write: what is found there is never followed,
// and nobody else's file is emptied.
void TestCapture::logCreatedSafely_data() {
    QTest::addColumn<QString>("found"); // what stands at the path beforehand
    QTest::addColumn<QString>("error"); // empty: created
    QTest::newRow("nothing") << ""
                             << "";
    QTest::newRow("our file, mode 0644") << "file"
                                         << "";
    QTest::newRow("link to a file") << "link"
                                    << "I/O error 40";
    QTest::newRow("link to nowhere") << "dangling"
                                     << "I/O error 40";
    QTest::newRow("FIFO") << "fifo"
                          << "File access denied";
    QTest::newRow("another user's file") << "foreign"
                                         << "File access denied";
    QTest::newRow("second name of a file") << "hardlink"
                                           << "File access denied";
    QTest::newRow("missing folder") << "nofolder"
                                    << "Invalid filename";
}

void TestCapture::logCreatedSafely() {
    QFETCH(QString, found);
    QFETCH(QString, error);
    const QString target = Dir.filePath("target-" + found);
    const QByteArray kept = "someone else's data";
    QString path = LogPath;
    const QByteArray p = path.toLocal8Bit();
    if (found != "" && found != "nofolder" && found != "fifo" && found != "dangling") {
        QFile file(found == "file" || found == "foreign" ? path : target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kept);
    }
    if (found == "file")
        QVERIFY(::chmod(p.constData(), 0644) == 0);
    if (found == "link" || found == "dangling")
        QVERIFY(QFile::link(target, path));
    if (found == "hardlink")
        QVERIFY(::link(target.toLocal8Bit().constData(), p.constData()) == 0);
    if (found == "fifo")
        QVERIFY(::mkfifo(p.constData(), 0666) == 0);
    if (found == "foreign") {
        if (::geteuid() != 0)
            QSKIP("needs root to give the file another owner");
        QVERIFY(::chown(p.constData(), 65534, 65534) == 0);
    }
    if (found == "nofolder")
        path = Dir.filePath("no-such-folder/rz8.log");

    TUploadFlags flags;
    TCapture capture(flags, [] {});
    QString raised;
    try {
        capture.Open(path.toStdString());
        capture.Take(Bytes("2,72,3,77"));
        capture.Close();
    } catch (const EInOutError &e) {
        raised = e.what();
    }
    QCOMPARE(raised, error);
    QCOMPARE(capture.IsOpen(), false);
    if (error.isEmpty()) {
        QCOMPARE(ReadFile(path), QByteArray("2,72,3,77"));
        QCOMPARE(ModeOf(path), mode_t(0600));
        return;
    }
    if (found == "link" || found == "hardlink")
        QCOMPARE(ReadFile(target), kept);
    if (found == "foreign")
        QCOMPARE(ReadFile(path), kept);
    if (found == "link" || found == "dangling")
        QVERIFY(QFileInfo(path).isSymLink());
    if (found == "dangling")
        QVERIFY(!QFileInfo::exists(target));
}

void TestCapture::capturePortSettings() {
    TForm1 &form = *NewForm();
    QCOMPARE(form.ComPort.Port(), std::string("ttyS0"));
    QCOMPARE(form.ComPort.BaudRate(), br4800);
    QCOMPARE(form.ComPort.EventChar(), char(3));
    QVERIFY(form.ComPort.Events() == AllComEvents);
    QCOMPARE(form.ComPort.FlowControl().ControlDTR(), dtrEnable);
    QCOMPARE(form.ComPort.FlowControl().ControlRTS(), rtsDisable);
    QCOMPARE(form.ComPort1.Port(), std::string("COM1"));
    QCOMPARE(form.Button_Open->text(), QString("Hent data"));
    QVERIFY(!form.CaptureRunning());
}

void TestCapture::windowCapturesTheClock_data() {
    QTest::addColumn<bool>("pace");
    QTest::newRow("unpaced") << false;
    QTest::newRow("paced at 4800 bit/s") << true;
}

void TestCapture::windowCapturesTheClock() {
    QFETCH(bool, pace);
    VirtualClock::Options options;
    options.pace = pace;
    options.records = VirtualClock::SampleRecords();
    VirtualClock clock(options);
    TForm1 &form = *NewForm();
    form.show();
    OpenCapture(form, clock.SlavePath());
    QCOMPARE(ReadFile(LogPath), QByteArray());
    clock.StartFetch();
    QTRY_VERIFY_WITH_TIMEOUT(clock.Fetch().done, 5000);
    QCOMPARE(clock.Fetch().acks, 4);
    QVERIFY(form.Acknowledged);
    form.Button_Open->click();
    QVERIFY(!form.ComPort.Connected());
    QVERIFY(!form.CaptureRunning());
    QCOMPARE(form.Button_Open->text(), QString("Hent data"));
    QCOMPARE(ReadFile(LogPath), ExampleLog);
    QVERIFY(Dialogs->Errors.isEmpty());
}

void TestCapture::logThatCannotBeCreatedClosesThePort_data() {
    QTest::addColumn<QString>("planted");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing folder") << ""
                                    << "Invalid filename.";
    QTest::newRow("symbolic link") << "link"
                                   << "I/O error 40.";
}

void TestCapture::logThatCannotBeCreatedClosesThePort() {
    QFETCH(QString, planted);
    QFETCH(QString, error);
    PtyPair pty;
    TForm1 &form = *NewForm();
    if (planted.isEmpty())
        form.CaptureLogPath = Dir.filePath("no-such-folder/rz8.log").toStdString();
    else
        QVERIFY(QFile::link(Dir.filePath("target"), LogPath));
    form.ComPort.SetPort(pty.SlavePath());
    form.Button_Open->click();
    QCOMPARE(Dialogs->Errors, QStringList{error});
    QVERIFY(!form.ComPort.Connected());
    QVERIFY(!form.CaptureRunning());
    QCOMPARE(form.Button_Open->text(), QString("Hent data"));
    QVERIFY(!QFileInfo::exists(Dir.filePath("target")));
}

// The write fails in a received-data event: the capture closes and says so once, instead
// of ending its event thread in silence with the port still open.
void TestCapture::failingWriteEndsTheCapture_data() {
    QTest::addColumn<QString>("limit");
    QTest::addColumn<QString>("error");
    QTest::newRow("disk full") << "tmpfs"
                               << "Disk full.";
    QTest::newRow("file size limit") << "fsize"
                                     << "I/O error 27.";
}

void TestCapture::failingWriteEndsTheCapture() {
    QFETCH(QString, limit);
    QFETCH(QString, error);
    const QString small = Dir.filePath("small");
    QVERIFY(QDir().mkpath(small));
    const QByteArray mountPoint = small.toLocal8Bit();
    if (limit == "tmpfs") {
        if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=8k,mode=0700") != 0)
            QSKIP("cannot mount a small tmpfs here (needs root)");
        LogPath = small + "/rz8.log";
    }
    const auto unmount = qScopeGuard([&] {
        if (limit == "tmpfs")
            ::umount2(mountPoint.constData(), MNT_DETACH);
    });
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto restore = qScopeGuard([&] {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_DFL);
    });
    if (limit == "fsize") {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit tight{6000, saved.rlim_max};
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &tight) == 0);
    }

    PtyPair pty;
    TForm1 &form = *NewForm();
    OpenCapture(form, pty.SlavePath());
    // About 4 KB of records, 14 KB as log text: more than either limit lets through.
    std::string records;
    for (int i = 0; i < 400; ++i)
        records += Bytes("2,180,181,182,183,184,185,186,3,199");
    pty.Write(records);
    QTRY_VERIFY_WITH_TIMEOUT(!form.ComPort.Connected(), 5000);
    QTRY_COMPARE(Dialogs->Errors, QStringList{error});
    QVERIFY(!form.CaptureRunning());
    QCOMPARE(form.Button_Open->text(), QString("Hent data"));
    // What the log took stays in it, whole records from the start.
    const QByteArray kept = ReadFile(LogPath);
    QVERIFY(kept.size() >= 4096);
    QVERIFY(kept.startsWith("2,180,181,182,183,184,185,186,3,199 \r\n2,180"));
    // The capture can start again once there is room.
    ::setrlimit(RLIMIT_FSIZE, &saved);
    QFile::remove(LogPath);
    OpenCapture(form, pty.SlavePath());
    form.Button_Open->click();
    QCOMPARE(Dialogs->Errors.size(), 1);
}

void TestCapture::openCaptureClosedWithTheWindow_data() {
    QTest::addColumn<bool>("destroy");
    QTest::newRow("window closed") << false;
    QTest::newRow("window destroyed") << true;
}

void TestCapture::openCaptureClosedWithTheWindow() {
    QFETCH(bool, destroy);
    PtyPair pty;
    TForm1 &form = *NewForm();
    form.show();
    OpenCapture(form, pty.SlavePath());
    pty.Write(Bytes("2,84,0,14,30,5,3,201"));
    QTRY_COMPARE(pty.MasterInputQueue(), 1);
    QCOMPARE(pty.Read(1), std::string(1, char(6)));
    QTRY_VERIFY(pty.SlaveInputQueue() == 0);
    QCOMPARE(ReadFile(LogPath), QByteArray()); // still in the buffer
    if (destroy) {
        delete Form;
        Form = nullptr;
    } else {
        form.close();
        QVERIFY(!form.ComPort.Connected());
        QCOMPARE(form.Button_Open->text(), QString("Hent data"));
    }
    QCOMPARE(ReadFile(LogPath), QByteArray("2,84,0,14,30,5,3,201"));
}

// The decoder's way to read a running capture's log: the capture goes on afterwards.
void TestCapture::decodingWhileRunning() {
    PtyPair pty;
    TForm1 &form = *NewForm();
    OpenCapture(form, pty.SlavePath());
    pty.Write(Bytes("2,84,0,14,30,5,3,201"));
    QTRY_COMPARE(pty.MasterInputQueue(), 1);
    QCOMPARE(pty.Read(1), std::string(1, char(6)));
    QTRY_VERIFY(pty.SlaveInputQueue() == 0);
    // "Oppdater data" reads what the capture has taken, still in its buffer, and the
    // capture goes on.
    form.SpeedButton1Click(form.SpeedButton1);
    const QString caption = form.Panel2Caption->text();
    QVERIFY2(caption.startsWith("RZ8 tid: 14") &&
                 caption.endsWith("30" + caption.mid(11, 1) + "05"),
             qPrintable(caption));
    QCOMPARE(ReadFile(LogPath), QByteArray("2,84,0,14,30,5,3,201"));
    QVERIFY(form.CaptureRunning());
    pty.Write(Bytes("2,72,1,0,3,77"));
    QTRY_COMPARE(pty.MasterInputQueue(), 1);
    QCOMPARE(pty.Read(1), std::string(1, char(6)));
    form.Button_Open->click();
    QCOMPARE(ReadFile(LogPath), QByteArray("2,84,0,14,30,5,3,201 \r\n2,72,1,0,3,77"));
    QVERIFY(Dialogs->Errors.isEmpty());
}

QTEST_MAIN(TestCapture)
#include "tst_capture.moc"
