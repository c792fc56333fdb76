#pragma once

#include <functional>

class QObject;

// Optional callbacks a port calls on open and close, line changes and transfer activity.
// Owned by whoever creates it; the port only keeps a reference while attached.
class TComLink {
public:
    std::function<void(QObject *Sender, bool OnOff)> OnConn;
    std::function<void(QObject *Sender, const char *Buffer, int Count)> OnRxBuf;
    std::function<void(QObject *Sender, const char *Buffer, int Count)> OnTxBuf;
    std::function<void(QObject *Sender)> OnTxEmpty;
    std::function<void(QObject *Sender)> OnRxFlag;
    std::function<void(QObject *Sender, bool OnOff)> OnCTSChange;
    std::function<void(QObject *Sender, bool OnOff)> OnDSRChange;
    std::function<void(QObject *Sender, bool OnOff)> OnRLSDChange;
    std::function<void(QObject *Sender)> OnRing;
    std::function<void(QObject *Sender, bool OnOff)> OnTx;
    std::function<void(QObject *Sender, bool OnOff)> OnRx;
};
