#include "upload/Waits.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

bool WaitUntil(const std::function<bool()> &done, QDeadlineTimer deadline) {
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        // Re-armed whenever it has fired early, so the loop is always woken at the deadline.
        if (!deadline.isForever() && !wake.isActive())
            wake.start(int((deadline.remainingTimeNSecs() + 999999) / 1000000));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void vent(unsigned ms, const std::function<bool()> &leave) {
    WaitUntil([&] { return leave && leave(); }, QDeadlineTimer(qint64(ms), Qt::PreciseTimer));
}
