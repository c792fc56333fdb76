// The upload's waits: they end at their deadline and never before it, also where it is not
// a whole millisecond away, turn the event loop only when something happens, and end early
// once an event makes their condition hold.

#include "upload/Waits.h"

#include <QtTest>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/timerfd.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Ends a wait that its deadline failed to wake, long after every deadline here, so a lost
// wake-up fails the test rather than hanging it.
struct TRescue {
    TRescue() {
        Timer.setSingleShot(true);
        QObject::connect(&Timer, &QTimer::timeout, [this] { Fired = true; });
        Timer.start(5s);
    }
    QTimer Timer;
    bool Fired = false;
};

// A wait that only its deadline can end; counts how often its condition was checked.
struct TDeadlineOnly {
    bool Wait(const QDeadlineTimer &deadline) {
        return WaitUntil(
            [this] {
                ++Checks;
                return Rescue.Fired;
            },
            deadline);
    }
    TRescue Rescue;
    int Checks = 0;
};

// No descriptor can be opened while it lives: the soft limit is set to the lowest free one.
class TNoFreeDescriptors {
public:
    TNoFreeDescriptors() {
        getrlimit(RLIMIT_NOFILE, &Saved);
        const int lowestFree = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (lowestFree < 0)
            return;
        close(lowestFree);
        rlimit limit = Saved;
        limit.rlim_cur = rlim_t(lowestFree);
        Active = setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }
    ~TNoFreeDescriptors() { setrlimit(RLIMIT_NOFILE, &Saved); }
    bool Active = false;

private:
    rlimit Saved{};
};

QDeadlineTimer In(std::chrono::nanoseconds time) {
    return QDeadlineTimer(time, Qt::PreciseTimer);
}

} // namespace

class TestWaits : public QObject {
    Q_OBJECT
private slots:
    void endsAtItsDeadline_data();
    void endsAtItsDeadline();
    void endsOnceDone_data();
    void endsOnceDone();
    void pauseEndsOnLeaveOrAtItsTime_data();
    void pauseEndsOnLeaveOrAtItsTime();
    void nestedWaitsKeepTheirOwnDeadlines_data();
    void nestedWaitsKeepTheirOwnDeadlines();
    void endsAtItsDeadlineWithoutAFreeDescriptor();
};

void TestWaits::endsAtItsDeadline_data() {
    QTest::addColumn<qint64>("nsecs");
    QTest::newRow("0.4 ms, less than a millisecond") << qint64(400'000);
    QTest::newRow("2.3 ms, between two milliseconds") << qint64(2'300'000);
    QTest::newRow("55.05 ms, a pause and a bit") << qint64(55'050'000);
    QTest::newRow("passed already") << qint64(-1'000'000);
}

void TestWaits::endsAtItsDeadline() {
    QFETCH(qint64, nsecs);
    TDeadlineOnly wait;
    const QDeadlineTimer deadline = In(std::chrono::nanoseconds(nsecs));
    const bool done = wait.Wait(deadline);
    QVERIFY2(!wait.Rescue.Fired, "the deadline did not wake the wait");
    QVERIFY(!done);
    QVERIFY2(deadline.hasExpired(), "ended before its deadline");
    // Nothing else happens meanwhile: the loop is woken once or twice, not on every turn.
    QVERIFY2(wait.Checks < 6, qPrintable(QString("%1 checks").arg(wait.Checks)));
}

void TestWaits::endsOnceDone_data() {
    QTest::addColumn<bool>("endless");
    QTest::addColumn<int>("doneAfterMs"); // -1: holds from the start; 0: a posted call
    QTest::newRow("forever, done by a timer") << true << 5;
    QTest::newRow("forever, done by a posted call") << true << 0;
    QTest::newRow("10 s, done by a timer") << false << 5;
    QTest::newRow("done from the start, deadline passed") << false << -1;
}

void TestWaits::endsOnceDone() {
    QFETCH(bool, endless);
    QFETCH(int, doneAfterMs);
    const QDeadlineTimer deadline =
        endless ? QDeadlineTimer(QDeadlineTimer::Forever) : In(doneAfterMs < 0 ? -1s : 10s);
    TRescue rescue;
    bool set = doneAfterMs < 0;
    if (doneAfterMs == 0)
        QMetaObject::invokeMethod(
            &rescue.Timer, [&] { set = true; }, Qt::QueuedConnection);
    else if (doneAfterMs > 0)
        QTimer::singleShot(doneAfterMs, &rescue.Timer, [&] { set = true; });
    QVERIFY(WaitUntil([&] { return set || rescue.Fired; }, deadline));
    QVERIFY2(!rescue.Fired, "the event that made it hold did not end the wait");
}

void TestWaits::pauseEndsOnLeaveOrAtItsTime_data() {
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<bool>("leave");
    QTest::newRow("left after 2 ms of 60 s") << 60000 << true;
    QTest::newRow("no leave: 3 ms to the end") << 3 << false;
}

void TestWaits::pauseEndsOnLeaveOrAtItsTime() {
    QFETCH(int, pauseMs);
    QFETCH(bool, leave);
    bool leaving = false;
    QObject context;
    QTimer::singleShot(2, &context, [&] { leaving = leave; });
    // Made before the pause's own deadline, so it expires first.
    const QDeadlineTimer pauseTime = In(std::chrono::milliseconds(pauseMs));
    vent(unsigned(pauseMs), [&] { return leaving; });
    QCOMPARE(pauseTime.hasExpired(), !leave);
    QCOMPARE(leaving, leave);
}

void TestWaits::nestedWaitsKeepTheirOwnDeadlines_data() {
    QTest::addColumn<int>("innerMs");
    QTest::newRow("inner ends first") << 3;
    QTest::newRow("inner ends after the outer deadline") << 30;
}

// A handler run by one wait may wait itself, as a port's close does.
void TestWaits::nestedWaitsKeepTheirOwnDeadlines() {
    QFETCH(int, innerMs);
    TDeadlineOnly outer;
    TDeadlineOnly inner;
    const QDeadlineTimer outerDeadline = In(15ms);
    QDeadlineTimer innerDeadline;
    bool innerDone = true;
    bool innerExpired = false;
    QTimer::singleShot(1, &outer.Rescue.Timer, [&] {
        innerDeadline = In(std::chrono::milliseconds(innerMs));
        innerDone = inner.Wait(innerDeadline);
        innerExpired = innerDeadline.hasExpired();
    });
    const bool outerDone = outer.Wait(outerDeadline);
    QVERIFY2(!outer.Rescue.Fired && !inner.Rescue.Fired, "a deadline did not wake its wait");
    QVERIFY(!innerDone);
    QVERIFY(innerExpired);
    QVERIFY(!outerDone);
    QVERIFY(outerDeadline.hasExpired());
    // Each wake-up is taken once, by whichever loop runs when it comes.
    QVERIFY2(inner.Checks < 6 && outer.Checks < 6,
             qPrintable(QString("%1 and %2 checks").arg(inner.Checks).arg(outer.Checks)));
}

// Out of descriptors no timerfd can be had, and the wait falls back to a timer.
void TestWaits::endsAtItsDeadlineWithoutAFreeDescriptor() {
    TDeadlineOnly wait;
    const QDeadlineTimer deadline = In(2300us);
    bool done = true;
    {
        TNoFreeDescriptors limit;
        if (!limit.Active)
            QSKIP("the descriptor limit cannot be lowered here");
        const int probe = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
        if (probe >= 0)
            close(probe);
        QVERIFY2(probe < 0, "a timerfd could still be created");
        done = wait.Wait(deadline);
    }
    QVERIFY2(!wait.Rescue.Fired, "the deadline did not wake the wait");
    QVERIFY(!done);
    QVERIFY(deadline.hasExpired());
    QVERIFY2(wait.Checks < 6, qPrintable(QString("%1 checks").arg(wait.Checks)));
}

QTEST_GUILESS_MAIN(TestWaits)
#include "tst_waits.moc"
