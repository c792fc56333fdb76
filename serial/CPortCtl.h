#pragma once

#include "serial/CPort.h"

#include <QComboBox>
#include <QMetaObject>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

// The controls that show a port: the setting boxes of the setup dialog and the status lamps.

// The port setting a setting box shows.
enum TComProperty { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

// The values a setting box holds for the port until they are applied; only the one of the
// box's property is used. Each starts at the first value of its type.
struct TComPending {
    std::string Port;
    TBaudRate BaudRate = brCustom;
    TDataBits DataBits = dbFive;
    TStopBits StopBits = sbOneStopBit;
    TParityBits Parity = prNone;
    TFlowControl FlowControl = fcHardware;
};

// What a setting box knows, without the widget: the setting, the port, the entries, which of
// them is selected, and the value chosen for the port.
class TComSelect {
public:
    TComSelect() = default;
    ~TComSelect();
    TComSelect(const TComSelect &) = delete;
    TComSelect &operator=(const TComSelect &) = delete;

    TComProperty ComProperty() const { return FComProperty; }
    // Lists the setting's entries anew; the port names come from the present ports, and a
    // listing that fails raises EComPort(CError_RegError) and leaves the box as it was.
    void SetComProperty(TComProperty value);

    TCustomComPort *ComPort() const { return FComPort; }
    void SetComPort(TCustomComPort *value);

    // A pick is written to the port at once.
    bool AutoApply() const { return FAutoApply; }
    void SetAutoApply(bool value) { FAutoApply = value; }

    const std::vector<std::string> &Entries() const { return FEntries; }
    // -1 when nothing is selected.
    int ItemIndex() const { return FItemIndex; }
    const TComPending &Pending() const { return FPending; }

    // Selects the entry of the port's current value and takes it as the pending value.
    void LoadFromPort();
    // Writes the pending value to the port; an empty pending name leaves the port's name.
    void ApplyToPort();
    // The user picked an entry.
    void Pick(int index);

    // Told after the entries or the selection changed.
    std::function<void()> OnChange;

private:
    void Select(int index);
    void TakePending(const std::string &text);
    void PortDestroyed();
    void Changed();

    TComProperty FComProperty = cpNone;
    QPointer<TCustomComPort> FComPort;
    QMetaObject::Connection FPortWatch;
    bool FAutoApply = false;
    std::vector<std::string> FEntries;
    int FItemIndex = -1;
    TComPending FPending;
};

// A drop-down list without an edit field, bound to one setting of a port.
class TComComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit TComComboBox(QWidget *parent = nullptr);

    TComSelect &ComSelect() { return FSelect; }
    const TComSelect &ComSelect() const { return FSelect; }

    TComProperty ComProperty() const { return FSelect.ComProperty(); }
    void SetComProperty(TComProperty value) { FSelect.SetComProperty(value); }
    // The name the setup dialog's generated code calls.
    void setComProperty(TComProperty value) { SetComProperty(value); }
    TCustomComPort *ComPort() const { return FSelect.ComPort(); }
    void SetComPort(TCustomComPort *value) { FSelect.SetComPort(value); }
    bool AutoApply() const { return FSelect.AutoApply(); }
    void SetAutoApply(bool value) { FSelect.SetAutoApply(value); }

    void LoadFromPort() { FSelect.LoadFromPort(); }
    void ApplyToPort() { FSelect.ApplyToPort(); }

private:
    void ShowSelect();
    void Picked(int index);

    TComSelect FSelect;
};

enum TComLedSignal { lsConn, lsCTS, lsDSR, lsRLSD, lsRing, lsRx, lsTx };
enum TLedKind {
    lkRedLight,
    lkGreenLight,
    lkBlueLight,
    lkYellowLight,
    lkPurpleLight,
    lkBulb,
    lkCustom
};
enum TLedState { lsOff, lsOn };

using TLedStateEvent = std::function<void(QObject *Sender, TLedState AState)>;

// A status lamp that shows one signal of a port, told through its own link. Without a port
// its state is set by hand.
class TComLed : public QWidget {
    Q_OBJECT

public:
    explicit TComLed(QWidget *parent = nullptr);
    ~TComLed() override;

    TCustomComPort *ComPort() const { return FComPort; }
    void SetComPort(TCustomComPort *value);
    TComLedSignal LedSignal() const { return FLedSignal; }
    void SetLedSignal(TComLedSignal value);
    TLedKind Kind() const { return FKind; }
    void SetKind(TLedKind value);
    TLedState State() const { return FState; }
    // Only while no port is attached; the port's signal decides otherwise.
    void SetState(TLedState value);
    // Pictures of the lit and the dark lamp; assignable only while Kind is lkCustom.
    const QPixmap &GlyphOn() const { return FGlyphOn; }
    void SetGlyphOn(const QPixmap &value);
    const QPixmap &GlyphOff() const { return FGlyphOff; }
    void SetGlyphOff(const QPixmap &value);
    // How long a ring keeps the lamp lit, in milliseconds.
    int RingDuration() const { return FRingTimer.interval(); }
    void SetRingDuration(int value) { FRingTimer.setInterval(value); }

    // While the owning window sets the lamp up: no OnChange, and attaching to an open port
    // leaves the state as it is.
    void BeginLoading() { FLoading = true; }
    void EndLoading() { FLoading = false; }

    // The link the lamp's port calls.
    const TComLink &Link() const { return FLink; }

    TLedStateEvent OnChange;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void ChangeState(TLedState value);
    void SignalAnswer(bool OnOff);
    void RingAnswer();
    TLedState PortSignalState();
    void PortDestroyed();
    void LoadPictures();

    TComLink FLink;
    TCustomComPort *FComPort = nullptr;
    QMetaObject::Connection FPortDestroyed;
    TComLedSignal FLedSignal = lsConn;
    TLedKind FKind = lkRedLight;
    TLedState FState = lsOff;
    QPixmap FGlyphOn;
    QPixmap FGlyphOff;
    QTimer FRingTimer;
    bool FLoading = false;
};
