#pragma once

#include "serial/CPortDevice.h"
#include "serial/CPortLink.h"
#include "serial/CPortSettings.h"
#include "serial/CPortTypes.h"
#include "serial/EComPort.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TComThread;
class TComWindowSync;

// One serial line: its settings, the device, the attached links and, while open, the event
// thread that turns device events into the events below. Lives on the window thread.
class TCustomComPort : public QObject, private TComSettingsOwner {
    Q_OBJECT

public:
    explicit TCustomComPort(QObject *parent = nullptr);
    ~TCustomComPort() override;

    void Open();
    void Close();
    bool Connected() const { return FConnected; }
    void SetConnected(bool value);

    const std::string &Port() const { return FPort; }
    void SetPort(const std::string &value);

    int WriteString(const std::string &s);
    int ReadString(std::string &s, int Count);
    int InputQueueCount();
    TModemSignals ModemSignals();
    TComErrors LineErrors();
    void AbortTransfers();

    void BeginSettingsUpdate();
    void EndSettingsUpdate();
    // Defined beside the dialog in rz8_serial_widgets, so the port itself needs no widgets.
    void OpenSetupDialog();

    void AttachLink(TComLink *link);
    void DetachLink(TComLink *link);

    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate value) { StoreLine(FBaudRate, value); }
    int32_t CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int32_t value) { StoreLine(FCustomBaudRate, value); }
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits value) { StoreLine(FDataBits, value); }
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits value) { StoreLine(FStopBits, value); }
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool value) { StoreLine(FDiscardNull, value); }
    char EventChar() const { return FEventChar; }
    void SetEventChar(char value) { StoreLine(FEventChar, value); }

    TComParity &Parity() { return FParity; }
    const TComParity &Parity() const { return FParity; }
    TComFlowControl &FlowControl() { return FFlowControl; }
    const TComFlowControl &FlowControl() const { return FFlowControl; }
    TComTimeouts &Timeouts() { return FTimeouts; }
    const TComTimeouts &Timeouts() const { return FTimeouts; }
    TComBuffer &Buffer() { return FBuffer; }
    const TComBuffer &Buffer() const { return FBuffer; }

    // Takes effect at the next Open.
    TComEvents Events() const { return FEvents; }
    void SetEvents(TComEvents value) { FEvents = value; }
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod value);
    bool TriggerRxChar() const { return FTriggerRxChar; }
    void SetTriggerRxChar(bool value) { FTriggerRxChar = value; }

    std::function<void(QObject *Sender)> OnBeforeOpen, OnAfterOpen, OnBeforeClose, OnAfterClose;
    std::function<void(QObject *Sender, int Count)> OnRxChar;
    std::function<void(QObject *Sender, const char *Buffer, int Count)> OnRxBuf;
    std::function<void(QObject *Sender)> OnTxEmpty, OnBreak, OnRing, OnRxFlag, OnRx80Full;
    std::function<void(QObject *Sender, bool OnOff)> OnCTSChange, OnDSRChange, OnRLSDChange;
    std::function<void(QObject *Sender, TComErrors Errors)> OnError;

protected:
    virtual void OpenDevice();
    virtual void CloseDevice();
    virtual void ApplyPortSettings();
    void ApplyQueueSizes();
    void ApplyLineSettings();
    void ApplyTimeoutSettings();

    virtual void DoBeforeOpen() { Fire(OnBeforeOpen); }
    virtual void DoAfterOpen() { Fire(OnAfterOpen); }
    virtual void DoBeforeClose() { Fire(OnBeforeClose); }
    virtual void DoAfterClose() { Fire(OnAfterClose); }
    virtual void DoRxChar(int Count) { Fire(OnRxChar, Count); }
    virtual void DoRxBuf(const char *Buffer, int Count) { Fire(OnRxBuf, Buffer, Count); }
    virtual void DoTxEmpty() { Fire(OnTxEmpty); }
    virtual void DoBreak() { Fire(OnBreak); }
    virtual void DoRing() { Fire(OnRing); }
    virtual void DoRxFlag() { Fire(OnRxFlag); }
    virtual void DoRx80Full() { Fire(OnRx80Full); }
    virtual void DoCTSChange(bool OnOff) { Fire(OnCTSChange, OnOff); }
    virtual void DoDSRChange(bool OnOff) { Fire(OnDSRChange, OnOff); }
    virtual void DoRLSDChange(bool OnOff) { Fire(OnRLSDChange, OnOff); }
    virtual void DoError(TComErrors Errors) { Fire(OnError, Errors); }

private:
    friend class TComThread;
    friend class TComWindowSync;

    template <typename F, typename... A> void Fire(const F &handler, A... args) {
        if (handler)
            handler(this, args...);
    }
    template <typename T> void StoreLine(T &field, T value) {
        if (field == value)
            return;
        field = value;
        ApplyLineSettings();
    }
    template <typename M, typename... A> void NotifyLinks(M TComLink::*callback, A... args) {
        // By index: a callback may detach links while we walk the list.
        for (size_t i = 0; i < FLinks.size(); ++i) {
            const auto &handler = FLinks[i]->*callback;
            if (handler)
                handler(this, args...);
        }
    }

    void SettingsChanged(TComSettingsGroup group) override;
    bool CanApply() const { return FConnected && FUpdateCount == 0; }

    void UpdateLinkFlags();
    void StartEventThread();
    void StopEventThread();

    int ReadBuffer(char *buffer, int count);

    // Event delivery; see CPortEvents.cpp.
    bool DeliverReport(TComEvents events) noexcept;
    // showStepErrors: a failing step goes to the error handler and the next step runs.
    void ProcessEvents(TComEvents events, bool showStepErrors = false);
    bool DeliveringOnThisThread() const;
    void CheckLineErrors();
    void ReceivedData();
    void TransmitEmpty();
    void BreakReceived();
    void RingReceived();
    void CTSChanged();
    void DSRChanged();
    void RLSDChanged();
    void SignalChanged(TModemSignal signal,
                       std::function<void(QObject *, bool)> TComLink::*callback,
                       void (TCustomComPort::*fire)(bool));
    void FlagReceived();
    void Rx80Full();

    std::string FPort = "COM1";
    TBaudRate FBaudRate = br9600;
    int32_t FCustomBaudRate = 9600;
    TDataBits FDataBits = dbEight;
    TStopBits FStopBits = sbOneStopBit;
    bool FDiscardNull = false;
    char FEventChar = 0;
    TComEvents FEvents = AllComEvents;
    TSyncMethod FSyncMethod = smThreadSync;
    bool FTriggerRxChar = true;
    TComParity FParity{this};
    TComFlowControl FFlowControl{this};
    TComTimeouts FTimeouts{this};
    TComBuffer FBuffer{this};

    TComDevice FDevice;
    bool FConnected = false;
    bool FClosing = false;
    unsigned FSession = 0; // counts opens, so a delivery notices a close and reopen beneath it
    int FUpdateCount = 0;
    std::vector<TComLink *> FLinks;
    bool FHasLink_OnRxBuf = false;
    std::unique_ptr<TComThread> FThread;
    QPointer<TComWindowSync> FWindowSync;
};

// The port as the main window declares it.
class TComPort : public TCustomComPort {
    Q_OBJECT

public:
    using TCustomComPort::TCustomComPort;
};
