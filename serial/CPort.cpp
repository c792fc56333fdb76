#include "serial/CPort.h"

#include "serial/CPortRecords.h"
#include "serial/CPortThread.h"
#include "serial/CPortWindowSync.h"

TCustomComPort::TCustomComPort(QObject *parent) : QObject(parent) {}

TCustomComPort::~TCustomComPort() {
    try {
        Close();
    } catch (...) {
        // A close handler failed; the device is released below all the same.
    }
    if (FConnected) {
        StopEventThread();
        CloseDevice();
        FConnected = false;
    }
}

void TCustomComPort::Open() {
    if (FConnected)
        return;
    DoBeforeOpen();
    OpenDevice();
    FConnected = true;
    ++FSession;
    try {
        ApplyPortSettings();
        StartEventThread();
    } catch (...) {
        StopEventThread();
        CloseDevice();
        FConnected = false;
        throw;
    }
    NotifyLinks(&TComLink::OnConn, true);
    DoAfterOpen();
    CTSChanged();
    DSRChanged();
    RLSDChanged();
}

void TCustomComPort::Close() {
    // A delivery that runs while Close waits for the thread may call Close again.
    if (!FConnected || FClosing)
        return;
    FClosing = true;
    struct TClosingGuard {
        bool &Flag;
        ~TClosingGuard() { Flag = false; }
    } guard{FClosing};

    NotifyLinks(&TComLink::OnCTSChange, false);
    NotifyLinks(&TComLink::OnDSRChange, false);
    NotifyLinks(&TComLink::OnRLSDChange, false);
    DoCTSChange(false);
    DoDSRChange(false);
    DoRLSDChange(false);
    DoBeforeClose();
    try {
        AbortTransfers();
    } catch (const EComPort &) {
    }
    StopEventThread();
    CloseDevice();
    FConnected = false;
    NotifyLinks(&TComLink::OnConn, false);
    DoAfterClose();
}

void TCustomComPort::SetConnected(bool value) {
    if (value == FConnected)
        return;
    if (value)
        Open();
    else
        Close();
}

void TCustomComPort::SetPort(const std::string &value) {
    if (value == FPort)
        return;
    FPort = value;
    if (FConnected) {
        Close();
        Open();
    }
}

void TCustomComPort::SetSyncMethod(TSyncMethod value) {
    if (value == FSyncMethod)
        return;
    if (FConnected)
        throw EComPort(CError_ConnChangeProp);
    FSyncMethod = value;
}

void TCustomComPort::StartEventThread() {
    if (FEvents.Empty())
        return;
    if (FSyncMethod == smWindowSync)
        FWindowSync = new TComWindowSync(*this);
    FThread = std::make_unique<TComThread>(*this);
}

void TCustomComPort::StopEventThread() {
    if (FThread) {
        if (DeliveringOnThisThread()) {
            // Closed from inside one of its own deliveries: the thread cannot end before we
            // return, so it is told to stop and cleans up after itself.
            TComThread *thread = FThread.release();
            thread->StopThread();
            connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        } else {
            FThread->StopThread();
            FThread->WaitForEnd();
            FThread.reset();
        }
    }
    if (FWindowSync) {
        FWindowSync->Deactivate();
        FWindowSync->deleteLater();
        FWindowSync = nullptr;
    }
}

void TCustomComPort::OpenDevice() {
    FDevice.Open(FPort);
}

void TCustomComPort::CloseDevice() {
    FDevice.Close();
}

void TCustomComPort::ApplyPortSettings() {
    ApplyQueueSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

void TCustomComPort::ApplyQueueSizes() {
    if (CanApply())
        FDevice.ApplyQueueSizes(BuildQueueSizes(FBuffer));
}

void TCustomComPort::ApplyLineSettings() {
    if (CanApply())
        FDevice.ApplyLineSettings(BuildDCB(*this));
}

void TCustomComPort::ApplyTimeoutSettings() {
    if (CanApply())
        FDevice.ApplyTimeouts(BuildCommTimeouts(FTimeouts));
}

void TCustomComPort::SettingsChanged(TComSettingsGroup group) {
    switch (group) {
    case TComSettingsGroup::LineSettings:
        ApplyLineSettings();
        break;
    case TComSettingsGroup::Timeouts:
        ApplyTimeoutSettings();
        break;
    case TComSettingsGroup::QueueSizes:
        ApplyQueueSizes();
        break;
    }
}

void TCustomComPort::BeginSettingsUpdate() {
    ++FUpdateCount;
}

void TCustomComPort::EndSettingsUpdate() {
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount == 0)
        ApplyPortSettings();
}
