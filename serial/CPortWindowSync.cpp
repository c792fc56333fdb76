#include "serial/CPortWindowSync.h"

#include "serial/CPort.h"
#include "serial/CPortErrorHandler.h"

#include <stdexcept>

TComWindowSync::TComWindowSync(TCustomComPort &port) : QObject(&port), FComPort(port) {}

void TComWindowSync::Send(TComEvents events) {
    auto take = [this, events] {
        QMetaObject::invokeMethod(
            this, [this, events] { Handle(events); }, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(this, take, Qt::BlockingQueuedConnection);
}

void TComWindowSync::Handle(TComEvents events) {
    if (!FActive || !FComPort.Connected())
        return;
    try {
        FComPort.ProcessEvents(events, true);
    } catch (...) {
        ShowComError(std::runtime_error("Unknown error in a port event"));
    }
}
