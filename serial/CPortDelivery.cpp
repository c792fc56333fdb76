#include "serial/CPort.h"
#include "serial/CPortThread.h"
#include "serial/CPortWindowSync.h"

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
    QEventLoop loop;
    connect(this, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    // Connected before the check: an end after it still reaches the loop.
    if (!isFinished())
        loop.exec();
    wait();
}
