// The event thread and its deliveries over a pseudo-terminal: where OnRxChar runs, its Count,
// no byte left unannounced, no spinning, Close during a delivery, failing handlers.

#include "PortRecorder.h"
#include "PortTestSupport.h"
#include "serial/CPortErrorHandler.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <sys/syscall.h>

namespace {

// Process CPU time (ms) spent while the window thread idles in its event loop for ms.
double CpuMsWhileIdle(int ms) {
    auto cpu = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    };
    const double before = cpu();
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    return cpu() - before;
}

// Polls a condition without handling any event of this thread.
bool WaitWithoutEvents(const std::function<bool()> &condition) {
    for (int i = 0; i < 5000; ++i) {
        if (condition())
            return true;
        QThread::msleep(1);
    }
    return false;
}

void RunEventsFor(int ms) {
    CpuMsWhileIdle(ms);
}

int ThreadCount() {
    return int(QDir("/proc/self/task").entryList(QDir::NoDotAndDotDot | QDir::Dirs).size());
}

// True when the port's event thread sleeps in a futex: it handed a report over and waits.
bool EventThreadWaitsForWindowThread() {
    for (const QString &task :
         QDir("/proc/self/task").entryList(QDir::NoDotAndDotDot | QDir::Dirs)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "TComThread")
            continue;
        QFile call("/proc/self/task/" + task + "/syscall");
        if (call.open(QIODevice::ReadOnly))
            return call.readAll().split(' ').value(0).toInt() == SYS_futex;
    }
    return false;
}

// What OnRxChar saw. With smNone the handler runs on the event thread while the test polls,
// so the record is kept under a lock and read as copies. During and ReadBytes are set only
// while no delivery can run: before Open, or on the window thread when deliveries run there.
class RxProbe {
public:
    std::function<void(int call)> During; // runs inside the handler, before it reads
    bool ReadBytes = true;

    void Attach(TCustomComPort &port) {
        port.OnRxChar = [this, &port](QObject *, int count) {
            int call = 0;
            {
                const std::lock_guard lock(FMutex);
                call = ++FCalls;
                FCounts << count;
                FOnWindowThread = FOnWindowThread && QThread::currentThread() == qApp->thread();
            }
            // Unlocked: these may call back into the probe or close the port.
            if (During)
                During(call);
            if (ReadBytes) {
                std::string s;
                port.ReadString(s, count);
                const std::lock_guard lock(FMutex);
                FReceived += s;
            }
        };
    }

    int Calls() const { return Copy(FCalls); }
    QList<int> Counts() const { return Copy(FCounts); }
    std::string Received() const { return Copy(FReceived); }
    bool OnWindowThread() const { return Copy(FOnWindowThread); }

private:
    template <typename T> T Copy(const T &field) const {
        const std::lock_guard lock(FMutex);
        return field;
    }

    mutable std::mutex FMutex;
    int FCalls = 0;
    QList<int> FCounts;
    std::string FReceived;
    bool FOnWindowThread = true;
};

} // namespace

class TestComThread : public QObject {
    Q_OBJECT

    std::unique_ptr<PtyPort> FRig;
    PtyPair *FPty = nullptr;
    TComPort *FPort = nullptr;
    std::unique_ptr<RxProbe> FRx;

    void OpenWith(TSyncMethod sync, TComEvents events = AllComEvents) {
        FPort->SetSyncMethod(sync);
        FPort->SetEvents(events);
        FPort->Open();
    }

private slots:
    void init() {
        FRig = std::make_unique<PtyPort>();
        FPty = &FRig->Pty;
        FPort = &FRig->Port;
        FRx = std::make_unique<RxProbe>();
        FRx->Attach(*FPort);
    }
    void cleanup() {
        FRig.reset();
        SetComErrorHandler({});
    }

    void rxCharCountsTheWaitingBytes_data() {
        QTest::addColumn<int>("sync");
        QTest::addColumn<bool>("onWindowThread");
        QTest::newRow("thread sync") << int(smThreadSync) << true;
        QTest::newRow("window sync") << int(smWindowSync) << true;
        QTest::newRow("no sync") << int(smNone) << false;
    }
    void rxCharCountsTheWaitingBytes() {
        QFETCH(int, sync);
        QFETCH(bool, onWindowThread);
        OpenWith(TSyncMethod(sync));
        FPty->Write("hello");
        // The window thread is not handling events yet: all five wait when it does.
        if (onWindowThread)
            QVERIFY(FPty->WaitSlaveInputQueue(5));
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Received(), std::string("hello"), 5000);
        QCOMPARE(FRx->OnWindowThread(), onWindowThread);
        if (onWindowThread)
            QCOMPARE(FRx->Counts(), QList<int>({5}));
    }

    void rxCharRunsInsideNestedWait() {
        OpenWith(smThreadSync);
        QEventLoop *nested = nullptr;
        bool ranNested = false;
        FRx->During = [&](int) {
            ranNested = nested != nullptr;
            if (nested)
                nested->quit();
        };
        // A handler that waits in a loop of its own, as the upload does.
        QTimer::singleShot(0, [&] {
            QEventLoop loop;
            nested = &loop;
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            FPty->Write("A");
            loop.exec();
            nested = nullptr;
        });
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Calls(), 1, 5000);
        QVERIFY(ranNested);
    }

    void bytesArrivingAfterTheCountGetALaterEvent() {
        OpenWith(smThreadSync);
        FRx->During = [&](int call) {
            if (call != 1)
                return;
            FPty->Write("XYZ"); // after Count was taken, before the handler reads
            QVERIFY(FPty->WaitSlaveInputQueue(FRx->Counts().first() + 3));
        };
        FPty->Write("first");
        QVERIFY(FPty->WaitSlaveInputQueue(5));
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Received(), std::string("firstXYZ"), 5000);
        QCOMPARE(FRx->Counts(), QList<int>({5, 3}));
    }

    void unreadBytesCauseNoSpinAndJoinTheNextCount() {
        OpenWith(smThreadSync);
        FRx->ReadBytes = false;
        FPty->Write("0123456789");
        QVERIFY(FPty->WaitSlaveInputQueue(10));
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Calls(), 1, 5000);
        const double cpu = CpuMsWhileIdle(300);
        QCOMPARE(FRx->Calls(), 1);
        QVERIFY2(cpu < 150, qPrintable(QString("%1 ms CPU in 300 ms").arg(cpu)));
        FPty->Write("a");
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Calls(), 2, 5000);
        QCOMPARE(FRx->Counts().last(), 11);
    }

    void hungUpDeviceLeavesThreadIdle() {
        PortRecorder recorder(*FPort);
        OpenWith(smThreadSync);
        FPty->Write("x");
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Calls(), 1, 5000);
        FPty->CloseMaster();
        const double cpu = CpuMsWhileIdle(300);
        QVERIFY2(cpu < 150, qPrintable(QString("%1 ms CPU in 300 ms").arg(cpu)));
        QVERIFY(FPort->Connected());
        const ComFailure write = FailureOf([&] { FPort->WriteString("y"); });
        QCOMPARE(write.Code, 2);
        QCOMPARE(write.Error, EIO);
        std::string s;
        QVERIFY_THROWS_EXCEPTION(EComPort, FPort->ReadString(s, 1));
        recorder.Log.clear();
        FPort->Close();
        QVERIFY(!FPort->Connected());
        QCOMPARE(recorder.Only({"BeforeClose", "AfterClose"}),
                 QStringList({"BeforeClose", "AfterClose"}));
    }

    void closeRunsADeliveryThatWaitsForTheWindowThread_data() {
        QTest::addColumn<bool>("afterExit");
        QTest::newRow("event loop running") << false;
        // The window was closed and the application told to quit: the transfer's ending
        // closes the port after that.
        QTest::newRow("after the application's exit") << true;
    }

    void closeRunsADeliveryThatWaitsForTheWindowThread() {
        QFETCH(bool, afterExit);
        // exit() outside exec() leaves the quit pending; a short exec() clears it again.
        const auto clearQuit = qScopeGuard([afterExit] {
            if (!afterExit)
                return;
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            QCoreApplication::exec();
        });
        PortRecorder recorder(*FPort);
        OpenWith(smThreadSync);
        FRx->During = [&](int) { recorder.Add("RxChar", FPort->Connected()); };
        FPty->Write("late");
        QVERIFY(WaitWithoutEvents(EventThreadWaitsForWindowThread));
        // Without events handled since: the delivery is still pending.
        QCOMPARE(FRx->Calls(), 0);
        recorder.Log.clear();
        if (afterExit)
            QCoreApplication::exit(0);
        FPort->Close();
        QCOMPARE(recorder.Only({"BeforeClose", "RxChar", "AfterClose"}),
                 QStringList({"BeforeClose", "RxChar 1", "AfterClose"}));
        QCOMPARE(FRx->Received(), std::string("late"));
    }

    void closeFromInsideRxChar() {
        PortRecorder recorder(*FPort);
        OpenWith(smThreadSync);
        FRx->ReadBytes = false;
        FRx->During = [&](int) { FPort->Close(); };
        FPty->Write("bye");
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Calls(), 1, 5000);
        QVERIFY(!FPort->Connected());
        QCOMPARE(recorder.Only({"AfterClose"}), QStringList({"AfterClose"}));
        FRx->During = {};
        FRx->ReadBytes = true;
        FPort->Open();
        FPty->Write("again");
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Received(), std::string("again"), 5000);
    }

    void failingRxCharEndsDeliveriesSilently_data() {
        QTest::addColumn<int>("sync");
        QTest::newRow("thread sync") << int(smThreadSync);
        QTest::newRow("no sync") << int(smNone);
    }
    void failingRxCharEndsDeliveriesSilently() {
        QFETCH(int, sync);
        QTest::failOnWarning(QRegularExpression(".*"));
        FRx->During = [](int call) {
            if (call == 1)
                throw EComPort(3, 5);
        };
        OpenWith(TSyncMethod(sync));
        FPty->Write("1");
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Calls(), 1, 5000);
        FPty->Write("2");
        RunEventsFor(200);
        QCOMPARE(FRx->Calls(), 1);
        QVERIFY(FPort->Connected());
        FPort->Close();
        FPort->Open();
        FPty->Write("3");
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Received(), std::string("3"), 5000);
    }

    void windowSyncErrorGoesToTheHandlerAndDeliveriesGoOn() {
        QStringList shown;
        SetComErrorHandler([&](const std::exception &e) { shown << e.what(); });
        OpenWith(smWindowSync);
        FRx->During = [](int call) {
            if (call == 1)
                throw std::runtime_error("capture log full");
        };
        FPty->Write("1");
        QTRY_COMPARE_WITH_TIMEOUT(shown, QStringList({"capture log full"}), 5000);
        FPty->Write("2");
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Received(), std::string("12"), 5000);
    }

    void withoutRxEventsBytesStayQueued_data() {
        QTest::addColumn<bool>("anyEvents");
        QTest::newRow("no events: no thread") << false;
        QTest::newRow("events without rx char") << true;
    }
    void withoutRxEventsBytesStayQueued() {
        QFETCH(bool, anyEvents);
        const int threads = ThreadCount();
        OpenWith(smThreadSync, anyEvents ? TComEvents{evTxEmpty, evCTS} : TComEvents{});
        QCOMPARE(ThreadCount(), threads + (anyEvents ? 1 : 0));
        FPty->Write("kept");
        QVERIFY(FPty->WaitSlaveInputQueue(4));
        RunEventsFor(100);
        QCOMPARE(FRx->Calls(), 0);
        QCOMPARE(FPort->InputQueueCount(), 4);
    }

    void queueAt80PercentIsReported() {
        int full = 0;
        FPort->OnRx80Full = [&](QObject *) { ++full; };
        FPort->Buffer().SetInputSize(100);
        FRx->ReadBytes = false;
        OpenWith(smThreadSync);
        FPty->Write(std::string(50, 'a'));
        QTRY_COMPARE_WITH_TIMEOUT(FRx->Calls(), 1, 5000);
        QCOMPARE(full, 0);
        FPty->Write(std::string(40, 'b'));
        QTRY_COMPARE_WITH_TIMEOUT(full, 1, 5000);
    }
};

QTEST_GUILESS_MAIN(TestComThread)
#include "tst_comthread.moc"
