#pragma once

// A port with the main window's stored settings on a fresh pseudo-terminal, a way to look
// at the EComPort a call raises, and the pseudo-terminal's own state.

#include "PtyPair.h"
#include "serial/CPort.h"
#include "serial/CPortStored.h"

#include <QString>
#include <sys/file.h>
#include <termios.h>

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

// The pseudo-terminal's current line settings, as the port left them.
inline termios SettingsOf(int handle) {
    termios settings{};
    tcgetattr(handle, &settings);
    return settings;
}

// True when nobody holds the device's lock.
inline bool FlockFree(int handle) {
    if (flock(handle, LOCK_EX | LOCK_NB) != 0)
        return false;
    flock(handle, LOCK_UN);
    return true;
}
