#include "serial/CPortSettings.h"

TFlowControl TComFlowControl::FlowControl() const {
    const bool xonXoff = F.XonXoffIn || F.XonXoffOut;
    if (F.ControlRTS == rtsHandshake && F.OutCTSFlow && !xonXoff)
        return fcHardware;
    if (F.ControlRTS == rtsDisable && !F.OutCTSFlow && F.XonXoffIn && F.XonXoffOut)
        return fcSoftware;
    if (F.ControlRTS == rtsDisable && !F.OutCTSFlow && !xonXoff)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value) {
    // All fields first, then one report, so an open port is updated a single time.
    if (value != fcCustom) {
        F.ControlRTS = value == fcHardware ? rtsHandshake : rtsDisable;
        F.OutCTSFlow = value == fcHardware;
        F.XonXoffIn = value == fcSoftware;
        F.XonXoffOut = value == fcSoftware;
    }
    Changed();
}
