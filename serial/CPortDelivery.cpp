#include "serial/CPort.h"
#include "serial/CPortThread.h"
#include "serial/CPortWindowSync.h"

#include <QCoreApplication>
#include <QEventLoop>

bool TComThread::DeliverEvents() {
    TCustomComPort *port = &FComPort;
    const TComEvents events = FEvents;
    switch (FSyncMethod) {
    case smNone:
        return port->DeliverReport(events);
    case smWindowSync:
        FWindowSync->Send(events);
        return true;
    case smThreadSync:
        break;
    }
    bool delivered = false;
    auto deliver = [port, events, &delivered] { delivered = port->DeliverReport(events); };
    if (QThread::currentThread() == port->thread())
        deliver();
    else
        QMetaObject::invokeMethod(port, deliver, Qt::BlockingQueuedConnection);
    return delivered;
}

void TComThread::WaitForEnd() {
    // Turn by turn, not a nested exec(): entering an event loop drops a quit request that
    // is already posted, and after exit() an exec() returns at once.
    QObject waker;
    connect(
        this, &QThread::finished, &waker, [] {}, Qt::QueuedConnection);
    // Connected before the check: an end after it still wakes the loop below.
    while (!isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    wait();
}
