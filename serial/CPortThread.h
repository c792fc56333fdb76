#pragma once

#include "serial/CPortTypes.h"

#include <QThread>
#include <atomic>

class TCustomComPort;
class TComWindowSync;

// Waits for device events of one open port and hands each report over by its SyncMethod.
// Created (and started) by Open, destroyed by Close.
class TComThread : public QThread {
    Q_OBJECT

public:
    explicit TComThread(TCustomComPort &port);
    ~TComThread() override;

    void StopThread();
    // A write has gone out: report transmit-empty once the output queue has drained.
    void WatchTransmit();
    // Waits for the end while the calling thread keeps handling its events, so a delivery
    // that waits for this thread still runs.
    void WaitForEnd();

protected:
    void run() override;

private:
    bool DeliverEvents();
    void Signal();

    TCustomComPort &FComPort;
    TComWindowSync *const FWindowSync;
    const int FHandle;
    const TComEvents FMask;
    const TSyncMethod FSyncMethod;
    const int FRx80Limit;
    int FStopEvent = -1;
    TComEvents FEvents;
    std::atomic<bool> FStopping{false};
    std::atomic<bool> FTransmitWatch{false};
};
