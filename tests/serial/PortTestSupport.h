#pragma once

// A port with the main window's stored settings on a fresh pseudo-terminal, and a way to
// look at the EComPort a call raises.

#include "PtyPair.h"
#include "serial/CPort.h"
#include "serial/CPortStored.h"

#include <QString>

struct PtyPort {
    PtyPort() {
        SetStoredSettings(Port);
        Port.SetPort(Pty.SlavePath());
    }

    PtyPair Pty;
    TComPort Port;
};

struct ComFailure {
    int Code = 0; // 0: the call did not fail
    int Error = -1;
    QString Message;
};

template <typename F> ComFailure FailureOf(F &&call) {
    try {
        call();
    } catch (const EComPort &e) {
        return {e.Code(), e.WinErrorCode(), QString(e.what())};
    }
    return {};
}
