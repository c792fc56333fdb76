#pragma once

#include "serial/CPortTypes.h"

#include <QObject>

class TCustomComPort;

// Hidden receiver on the window thread for smWindowSync: the event thread waits only until
// a report has been taken; the report is handled afterwards, while the port is still open.
class TComWindowSync : public QObject {
    Q_OBJECT

public:
    explicit TComWindowSync(TCustomComPort &port);

    // Called on the event thread.
    void Send(TComEvents events);
    // The port closed: reports still queued are dropped.
    void Deactivate() { FActive = false; }

private:
    void Handle(TComEvents events);

    TCustomComPort &FComPort;
    bool FActive = true;
};
