#include "serial/CPortStored.h"

#include "serial/CPort.h"

void SetStoredSettings(TCustomComPort &port) {
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
    port.SetPort("COM1");
    port.EndSettingsUpdate();
}
