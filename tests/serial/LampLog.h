#pragma once

// Records a lamp's state changes; OnState lets a test look around at each one, inside the
// call that changed the state.

#include "serial/CPortCtl.h"

#include <QList>
#include <functional>

class LampLog {
public:
    explicit LampLog(TComLed &led) : FLed(led) {
        led.OnChange = [this](QObject *sender, TLedState state) {
            States << state;
            SenderWasLamp = SenderWasLamp && sender == &FLed;
            if (OnState)
                OnState(state);
        };
    }
    ~LampLog() { FLed.OnChange = nullptr; }
    LampLog(const LampLog &) = delete;
    LampLog &operator=(const LampLog &) = delete;

    QList<TLedState> States;
    bool SenderWasLamp = true;
    std::function<void(TLedState)> OnState;

private:
    TComLed &FLed;
};
