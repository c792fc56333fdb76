#include "../app/RecordingDialogs.h"
#include "../serial/FakeSysfs.h"
#include "../serial/LampLog.h"
#include "../serial/UserChild.h"
#include "TraceBytes.h"
#include "app/uRZ8.h"
#include "tools/VirtualClock.h"
#include "upload/ImportLine.h"

#include <QtTest>
#include <cstdio>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

QByteArray Hex(const std::string &bytes) {
    return QByteArray(bytes.data(), qsizetype(bytes.size())).toHex().toUpper();
}

// Records every text the status label is painted with.
class TStatusLog : public QObject {
public:
    explicit TStatusLog(QLabel *label) : Label(label), Texts{label->text()} {
        label->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint && (Texts.isEmpty() || Texts.last() != Label->text())) {
            Texts << Label->text();
            if (OnText)
                OnText(Label->text());
        }
        return false;
    }
    QLabel *Label;
    QStringList Texts;
    // Runs when a new text is painted, inside the transfer.
    std::function<void(const QString &)> OnText;
};

const QStringList Header{"<?xml version=\"1.0\"?>", "<RZ7>", "<event>", "<version>"};

} // namespace

class TestUpload : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void wireBytesOfTheFile();
    void exampleFileArrivesIntact();
    void wakeUpSendsOneCanASecond_data();
    void wakeUpSendsOneCanASecond();
    void ackBeforeFirstTickSendsNoCan();
    void invalidRootTagReportedAfterWakeUp_data();
    void invalidRootTagReportedAfterWakeUp();
    void noLinesAfterHeaderGoesStraightToFerdig();
    void canDuringWakeUpEndsBeforeFirstLine();
    void statusCountsEveryLine();
    void countIsPaintedWhileItsPacketAwaitsTheAnswer();
    void nakThenAckSendsTwice();
    void nakOnlySendsSixTimesThenFails();
    void silentClockFailsNamingTheLine();
    void canFromClockEndsTransfer_data();
    void canFromClockEndsTransfer();
    void unpluggedClockEndsWithAnError_data();
    void unpluggedClockEndsWithAnError();
    void missingFile();
    void portThatCannotBeOpened();
    void fileOrPortThatCannotBeUsed_data();
    void fileOrPortThatCannotBeUsed();
    void secondProgramOnThePortGetsBusy();
    void badNumberStopsBeforeThePacket();
    void errorShownAfterTheEnding_data();
    void errorShownAfterTheEnding();
    void longPortNameIsKeptWhole();
    void failingWakeUpWriteShownOnce();
    void secondClickWhileRunningIsIgnored();
    void closingTheWindowEndsTheTransfer();
    void lampsFollowOneUpload();
    void windowDestroyedWithItsPortOpen();
    void traceNamedInTheEnvironment();

private:
    // Writes the header and `lines` to an import file and puts its name in the form.
    void UseFile(const QStringList &lines, const QStringList &header = Header);
    void MakeForm();
    // Clicks "Send data" and returns when the transfer has ended.
    void Upload(VirtualClock &clock, bool earlyAck = true);

    // No ports present: the list keeps its initial text.
    TFakeSysfs Sysfs;
    TForm1 *Form = nullptr;
    TRecordingDialogs *Dialogs = nullptr;
    TStatusLog *Status = nullptr;
    QTemporaryDir Dir;
};

void TestUpload::init() {
    Dialogs = new TRecordingDialogs;
    MakeForm();
}

void TestUpload::MakeForm() {
    Form = new TForm1;
    Form->AckTimeout = 400ms;
    Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form));
    Status = new TStatusLog(Form->lbjobb);
}

void TestUpload::cleanup() {
    delete Status;
    delete Form;
    delete Dialogs;
}

void TestUpload::UseFile(const QStringList &lines, const QStringList &header) {
    const QString path = Dir.filePath("import.RZ7");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write((header + lines).join("\r\n").toLatin1() + "\r\n");
    Form->Edit2->setText(path);
}

void TestUpload::Upload(VirtualClock &clock, bool earlyAck) {
    Form->cbserieporter->setEditText(QString::fromStdString(clock.SlavePath()) + " Serial port");
    if (earlyAck)
        QTimer::singleShot(50, [&clock] { clock.Send(std::string(1, VirtualClock::ACK)); });
    QTest::mouseClick(Form->AdvPanel5, Qt::LeftButton);
}

void TestUpload::wireBytesOfTheFile() {
    UseFile({"<classes>", "<class>,67,1,2", "</classes>", "<names>", "<name>,1,2,3,</name>",
             "</names>", "", "</RZ7>"});
    VirtualClock clock;
    Upload(clock, false);
    QCOMPARE(Hex(clock.Received()), QByteArray("18"
                                               "0243010203FA"
                                               "0201020303F8"
                                               "18"
                                               "03FD"));
    QCOMPARE(clock.ClosingCans(), 1);
    QVERIFY(Dialogs->Errors.isEmpty());
    QCOMPARE(Form->lbjobb->text(), QString("Ferdig"));
    QVERIFY(!Form->ComPort1.Connected());
    QVERIFY(!Form->ImportFile.IsOpen());
}

void TestUpload::exampleFileArrivesIntact() {
    const QString example = QStringLiteral(RZ8_EXAMPLES_DIR "/stevne.RZ7");
    QFile file(example);
    QVERIFY(file.open(QIODevice::ReadOnly));
    int records = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        records += line.startsWith("<class>,") || line.startsWith("<name>,");
    }
    Form->Edit2->setText(example);
    VirtualClock clock;
    Upload(clock);
    const auto packets = clock.Packets();
    QCOMPARE(int(packets.size()), records + 1);
    for (const auto &p : packets)
        QVERIFY2(p.checksumOk && p.attempt == 0, Hex(p.bytes).constData());
    QVERIFY(packets.back().closing);
    QCOMPARE(Hex(packets.back().bytes), QByteArray("03FD"));
    QVERIFY(Dialogs->Errors.isEmpty());
}

void TestUpload::wakeUpSendsOneCanASecond_data() {
    QTest::addColumn<int>("wakeAtCan");
    QTest::newRow("clock answers the first CAN") << 1;
    QTest::newRow("clock answers the second CAN") << 2;
}

void TestUpload::wakeUpSendsOneCanASecond() {
    QFETCH(int, wakeAtCan);
    UseFile({"</RZ7>"});
    VirtualClock::Options options;
    options.wakeAtCan = wakeAtCan;
    VirtualClock clock(options);
    bool timerOnAtFirstLine = true;
    Status->OnText = [&](const QString &text) {
        if (text == "Antall: 0")
            timerOnAtFirstLine = Form->Timer1.isActive();
    };
    const auto start = std::chrono::steady_clock::now();
    Upload(clock, false);
    const auto cans = clock.WakeCans();
    QCOMPARE(int(cans.size()), wakeAtCan);
    auto previous = start;
    for (const auto &can : cans) {
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(can - previous);
        QVERIFY2(gap >= 990ms && gap < 1300ms, qPrintable(QString::number(gap.count())));
        previous = can;
    }
    QCOMPARE(clock.IgnoredCans(), 0);
    QVERIFY(!timerOnAtFirstLine);
}

void TestUpload::ackBeforeFirstTickSendsNoCan() {
    UseFile({"</RZ7>"});
    VirtualClock::Options options;
    options.wakeAtCan = 0;
    VirtualClock clock(options);
    Upload(clock, true);
    QCOMPARE(Hex(clock.Received()), QByteArray("1803FD"));
    QVERIFY(clock.WakeCans().empty());
}

void TestUpload::invalidRootTagReportedAfterWakeUp_data() {
    QTest::addColumn<QStringList>("header");
    QTest::newRow("root tag in small letters") << QStringList{"<?xml?>", "<rz7>", "", ""};
    QTest::newRow("root tag with a blank") << QStringList{"<?xml?>", "<RZ7> ", "", ""};
    QTest::newRow("file of one line") << QStringList{"<RZ7>"};
}

void TestUpload::invalidRootTagReportedAfterWakeUp() {
    QFETCH(QStringList, header);
    UseFile({}, header);
    VirtualClock clock;
    bool answeredAtMessage = false;
    Dialogs->OnMessage = [&](const QString &) { answeredAtMessage = Form->Acknowledged; };
    Upload(clock, false);
    QCOMPARE(Dialogs->Messages, QStringList({"Ikke gyldig importfil"}));
    QVERIFY(answeredAtMessage);
    QCOMPARE(Hex(clock.Received()), QByteArray("18"));
    QCOMPARE(Form->lbjobb->text(), QString("Ferdig"));
}

void TestUpload::noLinesAfterHeaderGoesStraightToFerdig() {
    UseFile({});
    VirtualClock clock;
    Upload(clock);
    QVERIFY(clock.Packets().empty());
    QCOMPARE(Status->Texts, QStringList({"-", "Ferdig"}));
}

void TestUpload::canDuringWakeUpEndsBeforeFirstLine() {
    UseFile({"<class>,1,2", "</RZ7>"});
    VirtualClock::Options options;
    options.wakeAtCan = 0;
    VirtualClock clock(options);
    Form->cbserieporter->setEditText(QString::fromStdString(clock.SlavePath()));
    QTimer::singleShot(50, [&clock] { clock.Send("\x18\x06"); });
    QTest::mouseClick(Form->AdvPanel5, Qt::LeftButton);
    QVERIFY(clock.Packets().empty());
    QCOMPARE(Status->Texts, QStringList({"-", "Ferdig"}));
}

void TestUpload::statusCountsEveryLine() {
    UseFile({"<classes>", "<class>,1,2", "</classes>", "", "</RZ7>"});
    VirtualClock clock;
    Upload(clock);
    QCOMPARE(Status->Texts, QStringList({"-", "Antall: 0", "Antall: 1", "Antall: 2", "Antall: 3",
                                         "Antall: 4", "Ferdig"}));
}

// Painted at once, a count would sit between the clock's answer and the next packet. It is
// painted once the packet is out, before the answer to it is taken.
void TestUpload::countIsPaintedWhileItsPacketAwaitsTheAnswer() {
    UseFile({"<class>,1,2", "<class>,3,4", "<class>,5,6", "</RZ7>"});
    VirtualClock clock;
    QStringList awaiting;
    Status->OnText = [&](const QString &text) {
        if (!Form->PacketAcknowledged)
            awaiting << text;
    };
    Upload(clock);
    QCOMPARE(awaiting, QStringList({"Antall: 0", "Antall: 1", "Antall: 2", "Antall: 3"}));
}

void TestUpload::nakThenAckSendsTwice() {
    UseFile({"<class>,67,1,2", "</RZ7>"});
    VirtualClock::Options options;
    options.script.nakTimes = 1;
    VirtualClock clock(options);
    Upload(clock);
    const auto packets = clock.Packets();
    QCOMPARE(int(packets.size()), 3);
    QCOMPARE(packets[0].bytes, packets[1].bytes);
    QCOMPARE(packets[1].attempt, 1);
    QVERIFY(packets[2].closing);
    QVERIFY(Dialogs->Errors.isEmpty());
}

void TestUpload::nakOnlySendsSixTimesThenFails() {
    UseFile({"<class>,67,1,2", "</RZ7>"});
    VirtualClock::Options options;
    options.script.nakTimes = 1000;
    VirtualClock clock(options);
    Upload(clock);
    const auto packets = clock.Packets();
    QCOMPARE(int(packets.size()), 6);
    for (const auto &p : packets)
        QCOMPARE(Hex(p.bytes), QByteArray("0243010203FA"));
    QCOMPARE(Dialogs->Errors, QStringList({"Klokken svarte ikke på linje 5."}));
    QCOMPARE(Form->lbjobb->text(), QString("Ferdig"));
    QVERIFY(!Form->ComPort1.Connected());
}

void TestUpload::silentClockFailsNamingTheLine() {
    UseFile({"<classes>", "<class>,1,2", "<class>,3,4", "</classes>", "</RZ7>"});
    VirtualClock::Options options;
    options.script.silentFrom = 1;
    VirtualClock clock(options);
    Upload(clock);
    QCOMPARE(int(clock.Packets().size()), 2);
    QCOMPARE(Dialogs->Errors, QStringList({"Klokken svarte ikke på linje 7."}));
    QCOMPARE(Status->Texts.last(), QString("Ferdig"));
}

void TestUpload::canFromClockEndsTransfer_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("ACK then CAN") << QByteArray("\x06\x18");
    // The CAN alone ends the acknowledgement wait at once, with no timeout error.
    QTest::newRow("CAN alone") << QByteArray("\x18");
}

void TestUpload::canFromClockEndsTransfer() {
    QFETCH(QByteArray, answer);
    UseFile({"<class>,1,2", "<class>,3,4", "</RZ7>"});
    VirtualClock::Options options;
    options.responder = [answer](const VirtualClock::Packet &) {
        return VirtualClock::Reply{answer.toStdString()};
    };
    VirtualClock clock(options);
    Upload(clock);
    QCOMPARE(int(clock.Packets().size()), 1);
    QVERIFY(Dialogs->Errors.isEmpty());
    QCOMPARE(Status->Texts, QStringList({"-", "Antall: 0", "Ferdig"}));
}

void TestUpload::unpluggedClockEndsWithAnError_data() {
    QTest::addColumn<int>("silentFrom");
    QTest::addColumn<int>("unplugAfterMs");
    QTest::addColumn<QString>("error");
    // Unplugged between two packets: the next write fails.
    QTest::newRow("while the clock answers")
        << -1 << 0 << "WriteFile function failed (win error code: 5)";
    // Unplugged while a packet waits for its answer: none comes.
    QTest::newRow("while a packet awaits its answer")
        << 2 << 100 << "Klokken svarte ikke på linje 7.";
}

void TestUpload::unpluggedClockEndsWithAnError() {
    QFETCH(int, silentFrom);
    QFETCH(int, unplugAfterMs);
    QFETCH(QString, error);
    QStringList lines;
    for (int i = 0; i < 20; ++i)
        lines << QString("<name>,78,%1,2").arg(i);
    UseFile(lines);
    VirtualClock::Options options;
    options.script.silentFrom = silentFrom;
    VirtualClock clock(options);
    // Once the window has taken the answer to packet 1, before line 7 is written.
    bool unplugging = false;
    const auto takeAnswer = Form->ComPort1.OnRxChar;
    Form->ComPort1.OnRxChar = [&, takeAnswer](QObject *sender, int count) {
        takeAnswer(sender, count);
        if (unplugging || !Form->PacketAcknowledged || clock.Packets().size() != 2)
            return;
        unplugging = true;
        if (unplugAfterMs == 0)
            clock.Unplug();
        else
            QTimer::singleShot(unplugAfterMs, [&clock] { clock.Unplug(); });
    };
    Upload(clock);
    QCOMPARE(Dialogs->Errors, QStringList({error}));
    QCOMPARE(Form->lbjobb->text(), QString("Ferdig"));
    QVERIFY(!Form->ComPort1.Connected());
}

void TestUpload::missingFile() {
    QTest::mouseClick(Form->AdvPanel5, Qt::LeftButton);
    QCOMPARE(Dialogs->Messages,
             QStringList({"Filen Trykk på ikonet for å åpne importfilen ---> finnes ikke"}));
    Form->Edit2->setText(Dir.path());
    QTest::mouseClick(Form->AdvPanel5, Qt::LeftButton);
    QCOMPARE(Dialogs->Messages.last(), "Filen " + Dir.path() + " finnes ikke");
    QCOMPARE(Status->Texts, QStringList({"-"}));
    QVERIFY(Dialogs->Errors.isEmpty());
}

void TestUpload::portThatCannotBeOpened() {
    UseFile({"</RZ7>"});
    QTest::mouseClick(Form->AdvPanel5, Qt::LeftButton);
    QCOMPARE(Form->ComPort1.Port(), std::string("Ingen"));
    QCOMPARE(Dialogs->Errors, QStringList({"Unable to open com port (win error code: 2)"}));
    QCOMPARE(Status->Texts, QStringList({"-", "Ferdig"}));
    QVERIFY(!Form->ImportFile.IsOpen());
}

void TestUpload::fileOrPortThatCannotBeUsed_data() {
    QTest::addColumn<QString>("file"); // "import", "mode 000" or "folder"
    // A path, "denied" for the clock's node given to dialout, or empty for the virtual clock.
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("messages"); // %1: the file field's text
    QTest::addColumn<QStringList>("errors");   // %1: the port's path
    QTest::newRow("file that cannot be opened")
        << "mode 000" << QString() << QStringList() << QStringList({"File access denied."});
    QTest::newRow("file that is a folder")
        << "folder" << QString() << QStringList({"Filen %1 finnes ikke"}) << QStringList();
    QTest::newRow("port that is a folder")
        << "import"
        << "%1" << QStringList() << QStringList({"Unable to open com port (win error code: 21)"});
    QTest::newRow("port /dev/null")
        << "import"
        << "/dev/null" << QStringList()
        << QStringList({"Unable to open com port (win error code: 25)"});
    QTest::newRow("port that is a regular file")
        << "import"
        << "%1/import.RZ7" << QStringList()
        << QStringList({"Unable to open com port (win error code: 25)"});
    QTest::newRow("port of a group the user is not in")
        << "import"
        << "denied" << QStringList()
        << QStringList({"Unable to open com port (win error code: 13)\n"
                        "Porten %1 tilhører gruppen «dialout». Legg brukeren «nobody» til i "
                        "gruppen med «sudo usermod -aG dialout nobody». Endringen gjelder først "
                        "når du har logget inn på nytt."});
}

void TestUpload::fileOrPortThatCannotBeUsed() {
    QFETCH(QString, file);
    QFETCH(QString, port);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, errors);
    UseFile({"<class>,1,2", "</RZ7>"});
    const QString importPath = Form->Edit2->text();
    QFile import(importPath);
    QVERIFY(import.open(QIODevice::ReadOnly));
    const QByteArray importBytes = import.readAll();
    import.close();
    VirtualClock clock;
    QString portPath = QString::fromStdString(clock.SlavePath());
    if (!port.isEmpty() && port != "denied")
        portPath = port.contains("%1") ? port.arg(Dir.path()) : port;
    if (file == "mode 000")
        QVERIFY(QFile::setPermissions(importPath, {}));
    else if (file == "folder")
        Form->Edit2->setText(Dir.path());
    if (port == "denied") {
        if (geteuid() != 0)
            QSKIP("giving the clock's node to the group dialout needs root");
        const group *dialout = getgrnam("dialout");
        if (!dialout)
            QSKIP("no group dialout here");
        QCOMPARE(chown(clock.SlavePath().c_str(), 0, dialout->gr_gid), 0);
        QCOMPARE(chmod(clock.SlavePath().c_str(), 0660), 0);
    }
    const QString portText = portPath + " Serial port";
    QStringList shownMessages;
    QStringList shownErrors;
    bool portOpen = true;
    bool fileOpen = true;
    // Root opens a file or node whatever its mode, so these rows run the window in a child
    // as an ordinary user.
    if (file == "mode 000" || port == "denied") {
        TUserChild user;
        if (!user.Refusal().isEmpty())
            QSKIP(qPrintable(user.Refusal()));
        // The child's user may reach the file, and read it unless the row forbids that.
        QVERIFY(QFile::setPermissions(Dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ExeOther));
        if (file != "mode 000")
            QVERIFY(QFile::setPermissions(importPath,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        const QByteArray out = user.Run(user.Command({"--send", Form->Edit2->text(), portText}));
        QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
        const QJsonObject shown = QJsonDocument::fromJson(out).object();
        QVERIFY2(!shown.isEmpty(), out.constData());
        shownMessages = shown["messages"].toVariant().toStringList();
        shownErrors = shown["errors"].toVariant().toStringList();
        portOpen = shown["portOpen"].toBool();
        fileOpen = shown["fileOpen"].toBool();
    } else {
        Form->cbserieporter->setEditText(portText);
        QTest::mouseClick(Form->AdvPanel5, Qt::LeftButton);
        shownMessages = Dialogs->Messages;
        shownErrors = Dialogs->Errors;
        portOpen = Form->ComPort1.Connected();
        fileOpen = Form->ImportFile.IsOpen();
    }
    QFile::setPermissions(importPath, QFile::ReadOwner | QFile::WriteOwner);
    for (QString &m : messages)
        m = m.arg(Form->Edit2->text());
    for (QString &e : errors)
        e.replace("%1", portPath);
    QCOMPARE(shownMessages, messages);
    QCOMPARE(shownErrors, errors);
    QVERIFY(!portOpen);
    QVERIFY(!fileOpen);
    // Every row stops before the wake-up, so nothing reaches the clock.
    QVERIFY(clock.Received().empty());
    // The import file is left as it was.
    QVERIFY(import.open(QIODevice::ReadOnly));
    QCOMPARE(import.readAll(), importBytes);
}

void TestUpload::secondProgramOnThePortGetsBusy() {
    UseFile({"<class>,1,2", "</RZ7>"});
    VirtualClock::Options options;
    options.wakeAtCan = 0;
    VirtualClock clock(options);
    const QString portText = QString::fromStdString(clock.SlavePath()) + " Serial port";

    // The first program holds the port in its wake-up until its input is closed.
    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(QCoreApplication::applicationFilePath(),
                {"--hold-port", Form->Edit2->text(), portText});
    QVERIFY(first.waitForStarted());
    QVERIFY(first.waitForReadyRead(10000));
    QCOMPARE(first.readLine(), QByteArray("open\n"));

    Form->cbserieporter->setEditText(portText);
    QTest::mouseClick(Form->AdvPanel5, Qt::LeftButton);
    QCOMPARE(Dialogs->Errors, QStringList({"Unable to open com port (win error code: 16)"}));
    QVERIFY(!Form->ComPort1.Connected());

    first.closeWriteChannel();
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitCode(), 0);

    // Once the first has ended, the same click goes through.
    Dialogs->Errors.clear();
    Upload(clock);
    QCOMPARE(Dialogs->Errors, QStringList());
    QCOMPARE(clock.Packets().size(), std::size_t(2));
    QCOMPARE(Form->lbjobb->text(), QString("Ferdig"));
}

void TestUpload::badNumberStopsBeforeThePacket() {
    UseFile({"<class>,1,2", "<class>,7,x", "<class>,3,4"});
    VirtualClock clock;
    Upload(clock);
    QCOMPARE(int(clock.Packets().size()), 1);
    QCOMPARE(Dialogs->Errors, QStringList({"'x' is not a valid integer value."}));
    QCOMPARE(Form->lbjobb->text(), QString("Ferdig"));
    QVERIFY(!Form->ComPort1.Connected());
}

void TestUpload::errorShownAfterTheEnding_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("silentFrom");
    QTest::addColumn<QString>("error");
    QTest::newRow("bad number") << "<class>,1,x" << -1 << "'x' is not a valid integer value.";
    QTest::newRow("value too large for the clock")
        << "<class>,7,16777216" << -1
        << "Verdien 16777216 er for stor for klokken (største tillatte verdi er 16777215)";
    QTest::newRow("clock silent") << "<class>,1,2" << 0 << "Klokken svarte ikke på linje 5.";
}

void TestUpload::errorShownAfterTheEnding() {
    QFETCH(QString, line);
    QFETCH(int, silentFrom);
    QFETCH(QString, error);
    UseFile({line, "</RZ7>"});
    VirtualClock::Options options;
    options.script.silentFrom = silentFrom;
    VirtualClock clock(options);
    QString statusAtError;
    bool fileOpenAtError = true;
    bool portOpenAtError = true;
    Dialogs->OnError = [&](const QString &) {
        statusAtError = Form->lbjobb->text();
        fileOpenAtError = Form->ImportFile.IsOpen();
        portOpenAtError = Form->ComPort1.Connected();
    };
    Upload(clock);
    QCOMPARE(Dialogs->Errors, QStringList({error}));
    QCOMPARE(statusAtError, QString("Ferdig"));
    QVERIFY(!fileOpenAtError);
    QVERIFY(!portOpenAtError);
}

void TestUpload::longPortNameIsKeptWhole() {
    UseFile({"</RZ7>"});
    VirtualClock clock;
    QVERIFY(clock.SlavePath().size() > 5);
    Upload(clock);
    QCOMPARE(Form->ComPort1.Port(), clock.SlavePath());
    QCOMPARE(Hex(clock.Received()), QByteArray("1803FD"));
}

void TestUpload::failingWakeUpWriteShownOnce() {
    UseFile({"</RZ7>"});
    VirtualClock::Options options;
    options.wakeAtCan = 0;
    VirtualClock clock(options);
    QTimer::singleShot(300, [&clock] { clock.Unplug(); });
    Upload(clock, false);
    QCOMPARE(Dialogs->Errors.size(), 1);
    QVERIFY2(Dialogs->Errors.first().startsWith("WriteFile function failed"),
             qPrintable(Dialogs->Errors.first()));
    QVERIFY(!Form->Timer1.isActive());
    QTest::qWait(1300);
    QCOMPARE(Dialogs->Errors.size(), 1);
    QCOMPARE(Form->lbjobb->text(), QString("Ferdig"));
}

void TestUpload::secondClickWhileRunningIsIgnored() {
    UseFile({"<class>,1,2", "<class>,3,4", "</RZ7>"});
    VirtualClock clock;
    QTimer::singleShot(200, [this] { QTest::mouseClick(Form->AdvPanel5, Qt::LeftButton); });
    QTimer::singleShot(1200, [this] { QTest::mouseClick(Form->AdvPanel5, Qt::LeftButton); });
    Upload(clock, false);
    QCOMPARE(int(clock.Packets().size()), 3);
    QCOMPARE(int(clock.WakeCans().size()), 1);
    QVERIFY(Dialogs->Errors.isEmpty());
}

void TestUpload::closingTheWindowEndsTheTransfer() {
    UseFile({"</RZ7>"});
    VirtualClock::Options options;
    options.wakeAtCan = 0;
    VirtualClock clock(options);
    QTimer::singleShot(1500, [this] { Form->close(); });
    QElapsedTimer elapsed;
    elapsed.start();
    Upload(clock, false);
    QVERIFY(elapsed.elapsed() < 4000);
    QVERIFY(!Form->isVisible());
    QVERIFY(!Form->ComPort1.Connected());
    QVERIFY(!Form->ImportFile.IsOpen());
    QVERIFY(!Form->Timer1.isActive());
    QCOMPARE(Form->lbjobb->text(), QString("Ferdig"));
    QVERIFY(Dialogs->Errors.isEmpty());
    QVERIFY(clock.Packets().empty());
}

void TestUpload::lampsFollowOneUpload() {
    UseFile({"<class>,1,2", "<name>,3,4", "</RZ7>"});
    VirtualClock clock;
    LampLog connection(*Form->ComLed1);
    LampLog received(*Form->ComLed2);
    LampLog transmit(*Form->ComLed3);
    QList<bool> openAtChange;
    connection.OnState = [&](TLedState) { openAtChange << Form->ComPort1.Connected(); };
    QList<int> waitingAtChange;
    received.OnState = [&](TLedState) { waitingAtChange << Form->ComPort1.InputQueueCount(); };
    Upload(clock);
    QVERIFY(Dialogs->Errors.isEmpty());
    const int packets = int(clock.Packets().size());
    QCOMPARE(packets, 3);

    QCOMPARE(connection.States, QList<TLedState>({lsOn, lsOff}));
    QCOMPARE(openAtChange, QList<bool>({true, false}));
    // The lead CAN and the closing line go out back to back and may share one lighting.
    const int writes = int(transmit.States.count(lsOn));
    QVERIFY2(writes >= packets, qPrintable(QString::number(writes)));
    QCOMPARE(transmit.States.count(lsOff), writes);
    // Lit while the clock's answer waits, dark once it has been read: one answer a packet,
    // and the ACK to the wake-up.
    const int answers = int(received.States.count(lsOn));
    QVERIFY2(answers >= packets, qPrintable(QString::number(answers)));
    QCOMPARE(received.States.count(lsOff), answers);
    for (int i = 0; i < received.States.size(); ++i)
        QVERIFY2((received.States[i] == lsOn) == (waitingAtChange[i] > 0),
                 qPrintable(QString("change %1: %2 bytes waiting").arg(i).arg(waitingAtChange[i])));

    for (const TComLed *led : {Form->ComLed1, Form->ComLed2, Form->ComLed3})
        QCOMPARE(led->State(), lsOff);
}

// The ports go before the lamps; the closing port still tells its living lamps, and the lamps
// forget it once it is gone (the sanitized build checks both).
void TestUpload::windowDestroyedWithItsPortOpen() {
    VirtualClock clock;
    Form->ComPort1.SetPort(clock.SlavePath());
    Form->ComPort1.Open();
    QCOMPARE(Form->ComLed1->State(), lsOn);
    delete Form;
    Form = nullptr;
}

void TestUpload::traceNamedInTheEnvironment() {
    const QString path = Dir.filePath("window.trace");
    qputenv("RZ8_TRACE", QFile::encodeName(path));
    delete Status;
    delete Form;
    MakeForm();
    qunsetenv("RZ8_TRACE");
    UseFile({"<name>,78,1,2", "</RZ7>"});
    VirtualClock clock;
    Upload(clock);
    QVERIFY(Dialogs->Errors.isEmpty());
    const TTraceBytes trace = ReadTraceBytes(path);
    QCOMPARE(trace.Sent, clock.Received());
    std::string answers;
    for (const auto &answer : clock.Answers())
        answers += answer.bytes;
    QCOMPARE(trace.Received, answers);
    const QByteArray upload = "Send data: " + Form->Edit2->text().toUtf8() + " til ";
    QVERIFY(std::any_of(trace.Notes.begin(), trace.Notes.end(),
                        [&](const QByteArray &note) { return note.startsWith(upload); }));
}

namespace {

// The window of a child test process, shown with the file and port text given. No ports are
// present, so the list keeps the port text.
struct TChildWindow {
    TChildWindow(const char *file, const char *port) {
        Form.Edit2->setText(QString::fromLocal8Bit(file));
        Form.cbserieporter->setEditText(QString::fromLocal8Bit(port));
        Form.show();
    }
    TRecordingDialogs Dialogs;
    TFakeSysfs Sysfs;
    TForm1 Form;
};

// The first of two programs on one port: starts "Send data" against a clock that never
// answers the wake-up, says "open" once it holds the port, and closes its window when its
// input ends.
int HoldPort(int argc, char *argv[]) {
    QApplication app(argc, argv);
    TChildWindow child(argv[2], argv[3]);
    TForm1 &form = child.Form;
    QTimer::singleShot(0, &form, [&form] { QTest::mouseClick(form.AdvPanel5, Qt::LeftButton); });
    QTimer opened;
    QObject::connect(&opened, &QTimer::timeout, &form, [&] {
        if (!form.ComPort1.Connected())
            return;
        opened.stop();
        std::fputs("open\n", stdout);
        std::fflush(stdout);
    });
    opened.start(10);
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &form, [&] {
        char byte;
        if (read(0, &byte, 1) <= 0) {
            input.setEnabled(false);
            form.close();
        }
    });
    return QApplication::exec();
}

// The window as the user the child runs as: one click on "Send data" with the file and port
// text given, then what it showed and whether the file and port stayed open, as JSON.
int SendOnce(int argc, char *argv[]) {
    QApplication app(argc, argv);
    TChildWindow child(argv[2], argv[3]);
    TForm1 &form = child.Form;
    const TRecordingDialogs &dialogs = child.Dialogs;
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    QTest::mouseClick(form.AdvPanel5, Qt::LeftButton);
    const QJsonObject shown{{"messages", QJsonArray::fromStringList(dialogs.Messages)},
                            {"errors", QJsonArray::fromStringList(dialogs.Errors)},
                            {"portOpen", form.ComPort1.Connected()},
                            {"fileOpen", form.ImportFile.IsOpen()}};
    std::fputs(QJsonDocument(shown).toJson(QJsonDocument::Compact).constData(), stdout);
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc == 4 && qstrcmp(argv[1], "--hold-port") == 0)
        return HoldPort(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--send") == 0)
        return SendOnce(argc, argv);
    QApplication app(argc, argv);
    TestUpload test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_upload.moc"
