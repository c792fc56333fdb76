#pragma once

#include "serial/CPort.h"

#include <QMetaObject>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <functional>

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
