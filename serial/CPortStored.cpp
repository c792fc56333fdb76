#include "serial/CPortStored.h"

#include "serial/CPort.h"

namespace {

void SetLine(TCustomComPort &port, const std::string &name) {
    port.BeginSettingsUpdate();
    port.SetBaudRate(br4800);
    port.SetDataBits(dbEight);
    port.SetStopBits(sbOneStopBit);
    port.Parity().SetBits(prNone);
    port.SetEventChar(3);
    port.SetEvents(AllComEvents);
    port.FlowControl().SetControlDTR(dtrEnable);
    port.FlowControl().SetControlRTS(rtsDisable);
    port.FlowControl().SetFlowControl(fcNone);
    port.SetPort(name);
    port.EndSettingsUpdate();
}

} // namespace

void SetStoredSettings(TCustomComPort &port) {
    SetLine(port, "COM1");
}

void SetCaptureStoredSettings(TCustomComPort &port) {
    SetLine(port, "ttyS0");
}
