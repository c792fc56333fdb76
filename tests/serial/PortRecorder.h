#pragma once

// Records a port's events and a link's callbacks, in the order they happen, as short texts.

#include "serial/CPort.h"

#include <QStringList>

class PortRecorder {
public:
    explicit PortRecorder(TCustomComPort &port) : FPort(port) {
        port.OnBeforeOpen = [this](QObject *) { Add("BeforeOpen"); };
        port.OnAfterOpen = [this](QObject *) { Add("AfterOpen"); };
        port.OnBeforeClose = [this](QObject *) { Add("BeforeClose"); };
        port.OnAfterClose = [this](QObject *) { Add("AfterClose"); };
        port.OnCTSChange = [this](QObject *, bool on) { Add("CTS", on); };
        port.OnDSRChange = [this](QObject *, bool on) { Add("DSR", on); };
        port.OnRLSDChange = [this](QObject *, bool on) { Add("RLSD", on); };
        port.OnTxEmpty = [this](QObject *) { Add("TxEmpty"); };
        Link.OnConn = [this](QObject *, bool on) { Add("link:Conn", on); };
        Link.OnCTSChange = [this](QObject *, bool on) { Add("link:CTS", on); };
        Link.OnDSRChange = [this](QObject *, bool on) { Add("link:DSR", on); };
        Link.OnRLSDChange = [this](QObject *, bool on) { Add("link:RLSD", on); };
        Link.OnTx = [this](QObject *, bool on) { Add("link:Tx", on); };
        Link.OnRx = [this](QObject *, bool on) { Add("link:Rx", on); };
        Link.OnTxBuf = [this](QObject *, const char *buffer, int count) {
            Add("link:TxBuf " + QString::fromLatin1(buffer, count));
        };
        Link.OnTxEmpty = [this](QObject *) { Add("link:TxEmpty"); };
        port.AttachLink(&Link);
    }
    ~PortRecorder() {
        FPort.DetachLink(&Link);
        FPort.OnBeforeOpen = FPort.OnAfterOpen = FPort.OnBeforeClose = FPort.OnAfterClose = {};
        FPort.OnCTSChange = FPort.OnDSRChange = FPort.OnRLSDChange = {};
        FPort.OnTxEmpty = {};
    }

    void Add(const QString &entry) { Log << entry; }
    void Add(const QString &entry, bool on) { Log << entry + (on ? " 1" : " 0"); }

    // Only the entries whose name is in names, e.g. to check the order of open and close.
    QStringList Only(const QStringList &names) const {
        QStringList kept;
        for (const QString &entry : Log)
            if (names.contains(entry.section(' ', 0, 0)))
                kept << entry;
        return kept;
    }

    QStringList Log;
    TComLink Link;

private:
    TCustomComPort &FPort;
};
