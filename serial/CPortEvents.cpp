#include "serial/CPort.h"
#include "serial/CPortErrorHandler.h"

#include <algorithm>
#include <vector>

namespace {

// Ports whose delivery runs on this thread right now.
thread_local std::vector<const TCustomComPort *> DeliveringPorts;

struct TEventStep {
    TComEvent Event;
    void (TCustomComPort::*Step)();
};

} // namespace

bool TCustomComPort::DeliverReport(TComEvents events) noexcept {
    DeliveringPorts.push_back(this);
    bool delivered = true;
    try {
        ProcessEvents(events);
    } catch (...) {
        delivered = false;
    }
    DeliveringPorts.pop_back();
    return delivered;
}

bool TCustomComPort::DeliveringOnThisThread() const {
    return std::find(DeliveringPorts.begin(), DeliveringPorts.end(), this) != DeliveringPorts.end();
}

void TCustomComPort::ProcessEvents(TComEvents events, bool showStepErrors) {
    static constexpr TEventStep Steps[] = {
        {evError, &TCustomComPort::CheckLineErrors}, {evRxChar, &TCustomComPort::ReceivedData},
        {evTxEmpty, &TCustomComPort::TransmitEmpty}, {evBreak, &TCustomComPort::BreakReceived},
        {evRing, &TCustomComPort::RingReceived},     {evCTS, &TCustomComPort::CTSChanged},
        {evDSR, &TCustomComPort::DSRChanged},        {evRxFlag, &TCustomComPort::FlagReceived},
        {evRLSD, &TCustomComPort::RLSDChanged},      {evRx80Full, &TCustomComPort::Rx80Full},
    };
    const unsigned session = FSession;
    for (const TEventStep &step : Steps) {
        if (!events.Contains(step.Event))
            continue;
        // A handler may have closed (and reopened) the port; the rest of the report is stale.
        if (!FConnected || FSession != session)
            return;
        try {
            (this->*step.Step)();
        } catch (const std::exception &error) {
            if (!showStepErrors)
                throw;
            ShowComError(error);
        }
    }
}

void TCustomComPort::CheckLineErrors() {
    const TComErrors errors = LineErrors();
    if (!errors.Empty())
        DoError(errors);
}

void TCustomComPort::ReceivedData() {
    const int count = InputQueueCount();
    if (count <= 0)
        return;
    NotifyLinks(&TComLink::OnRx, true);
    if (FTriggerRxChar && !FHasLink_OnRxBuf) {
        DoRxChar(count);
        return;
    }
    // The component reads the bytes itself and hands the same bytes to every taker.
    std::vector<char> bytes(static_cast<size_t>(count));
    const int read = ReadBuffer(bytes.data(), count);
    DoRxBuf(bytes.data(), read);
    NotifyLinks(&TComLink::OnRxBuf, static_cast<const char *>(bytes.data()), read);
}

void TCustomComPort::TransmitEmpty() {
    NotifyLinks(&TComLink::OnTx, false);
    NotifyLinks(&TComLink::OnTxEmpty);
    DoTxEmpty();
}

void TCustomComPort::BreakReceived() {
    DoBreak();
}

void TCustomComPort::RingReceived() {
    NotifyLinks(&TComLink::OnRing);
    DoRing();
}

void TCustomComPort::SignalChanged(TModemSignal signal,
                                   std::function<void(QObject *, bool)> TComLink::*callback,
                                   void (TCustomComPort::*fire)(bool)) {
    const bool on = ModemSignals().Contains(signal);
    NotifyLinks(callback, on);
    (this->*fire)(on);
}

void TCustomComPort::CTSChanged() {
    SignalChanged(msCTS, &TComLink::OnCTSChange, &TCustomComPort::DoCTSChange);
}

void TCustomComPort::DSRChanged() {
    SignalChanged(msDSR, &TComLink::OnDSRChange, &TCustomComPort::DoDSRChange);
}

void TCustomComPort::RLSDChanged() {
    SignalChanged(msRLSD, &TComLink::OnRLSDChange, &TCustomComPort::DoRLSDChange);
}

void TCustomComPort::FlagReceived() {
    NotifyLinks(&TComLink::OnRxFlag);
    DoRxFlag();
}

void TCustomComPort::Rx80Full() {
    DoRx80Full();
}
