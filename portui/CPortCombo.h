#pragma once

#include "serial/CPort.h"

#include <QComboBox>
#include <QMetaObject>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

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
