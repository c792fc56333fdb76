#include "serial/CPort.h"
#include "serial/CPortCtl.h"
#include "serial/CPortDiscovery.h"
#include "serial/CPortErrorHandler.h"
#include "serial/CPortText.h"
#include "serial/EComPort.h"
#include "serial/SetupApi.h"

#include <algorithm>

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// Only ASCII letters change case, as in the settings' text forms.
bool SameText(const std::string &a, const std::string &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Upper(x) == Upper(y); });
}

// Text order without regard to case, so ttyS10 comes before ttyS2. Names that differ only
// in case keep a fixed order.
bool CaseFreeLess(const std::string &a, const std::string &b) {
    const auto less = [](char x, char y) {
        return static_cast<unsigned char>(Upper(x)) < static_cast<unsigned char>(Upper(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), less))
        return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), less))
        return false;
    return a < b;
}

// The same ports that discovery lists, under the names Port accepts.
std::vector<std::string> PresentPortNames() {
    const TPortEnumeration present = EnumeratePresentPorts(SysfsRoot());
    if (present.Error != 0)
        throw EComPort(CError_RegError, present.Error);
    std::vector<std::string> names;
    for (const TPresentPort &port : present.Ports)
        names.push_back(port.Name);
    std::sort(names.begin(), names.end(), CaseFreeLess);
    return names;
}

template <typename E> std::vector<std::string> Texts(E first, E last, std::string (*text)(E)) {
    std::vector<std::string> texts;
    for (int value = first; value <= last; ++value)
        texts.push_back(text(static_cast<E>(value)));
    return texts;
}

std::vector<std::string> EntriesOf(TComProperty property) {
    switch (property) {
    case cpNone:
        return {};
    case cpPort:
        return PresentPortNames();
    case cpBaudRate:
        return Texts(brCustom, br256000, BaudRateToStr);
    case cpDataBits:
        return Texts(dbFive, dbEight, DataBitsToStr);
    case cpStopBits:
        return Texts(sbOneStopBit, sbTwoStopBits, StopBitsToStr);
    case cpParity:
        return Texts(prNone, prSpace, ParityToStr);
    case cpFlowControl:
        return Texts(fcHardware, fcCustom, FlowControlToStr);
    }
    return {};
}

std::string ValueText(const TCustomComPort &port, TComProperty property) {
    switch (property) {
    case cpNone:
        break;
    case cpPort:
        return port.Port();
    case cpBaudRate:
        return BaudRateToStr(port.BaudRate());
    case cpDataBits:
        return DataBitsToStr(port.DataBits());
    case cpStopBits:
        return StopBitsToStr(port.StopBits());
    case cpParity:
        return ParityToStr(port.Parity().Bits());
    case cpFlowControl:
        return FlowControlToStr(port.FlowControl().FlowControl());
    }
    return {};
}

} // namespace

TComSelect::~TComSelect() {
    QObject::disconnect(FPortWatch);
}

void TComSelect::SetComProperty(TComProperty value) {
    std::vector<std::string> entries = EntriesOf(value);
    FComProperty = value;
    FEntries = std::move(entries);
    FItemIndex = -1;
    if (!FEntries.empty()) {
        if (FComPort)
            LoadFromPort();
        else
            FItemIndex = 0;
    }
    Changed();
}

void TComSelect::SetComPort(TCustomComPort *value) {
    if (value == FComPort)
        return;
    QObject::disconnect(FPortWatch);
    FComPort = value;
    if (!value)
        return;
    FPortWatch = QObject::connect(value, &QObject::destroyed, [this] { PortDestroyed(); });
    LoadFromPort();
}

void TComSelect::LoadFromPort() {
    if (!FComPort || FComProperty == cpNone)
        return;
    const std::string text = ValueText(*FComPort, FComProperty);
    const auto found =
        std::find_if(FEntries.begin(), FEntries.end(),
                     [&](const std::string &entry) { return SameText(entry, text); });
    if (found == FEntries.end()) {
        Select(-1);
        return;
    }
    Select(int(found - FEntries.begin()));
    TakePending(*found);
}

void TComSelect::ApplyToPort() {
    if (!FComPort)
        return;
    TCustomComPort &port = *FComPort;
    switch (FComProperty) {
    case cpNone:
        break;
    case cpPort:
        // Nothing picked from a list that lacks the port's name: the name stays.
        if (!FPending.Port.empty())
            port.SetPort(FPending.Port);
        break;
    case cpBaudRate:
        port.SetBaudRate(FPending.BaudRate);
        break;
    case cpDataBits:
        port.SetDataBits(FPending.DataBits);
        break;
    case cpStopBits:
        port.SetStopBits(FPending.StopBits);
        break;
    case cpParity:
        port.Parity().SetBits(FPending.Parity);
        break;
    case cpFlowControl:
        port.FlowControl().SetFlowControl(FPending.FlowControl);
        break;
    }
}

void TComSelect::Pick(int index) {
    if (index < 0 || index >= int(FEntries.size()))
        return;
    Select(index);
    TakePending(FEntries[size_t(index)]);
    if (FAutoApply)
        ApplyToPort();
}

void TComSelect::Select(int index) {
    FItemIndex = index;
    Changed();
}

void TComSelect::TakePending(const std::string &text) {
    switch (FComProperty) {
    case cpNone:
        break;
    case cpPort:
        FPending.Port = text;
        break;
    case cpBaudRate:
        FPending.BaudRate = StrToBaudRate(text);
        break;
    case cpDataBits:
        FPending.DataBits = StrToDataBits(text);
        break;
    case cpStopBits:
        FPending.StopBits = StrToStopBits(text);
        break;
    case cpParity:
        FPending.Parity = StrToParity(text);
        break;
    case cpFlowControl:
        FPending.FlowControl = StrToFlowControl(text);
        break;
    }
}

void TComSelect::PortDestroyed() {
    FComPort = nullptr;
    if (!FEntries.empty())
        Select(0);
}

void TComSelect::Changed() {
    if (OnChange)
        OnChange();
}

TComComboBox::TComComboBox(QWidget *parent) : QComboBox(parent) {
    setEditable(false);
    FSelect.OnChange = [this] { ShowSelect(); };
    connect(this, &QComboBox::activated, this, &TComComboBox::Picked);
}

void TComComboBox::ShowSelect() {
    const std::vector<std::string> &entries = FSelect.Entries();
    bool same = count() == int(entries.size());
    for (int i = 0; same && i < count(); ++i)
        same = itemText(i) == QString::fromLatin1(entries[size_t(i)]);
    if (!same) {
        clear();
        for (const std::string &entry : entries)
            addItem(QString::fromLatin1(entry));
    }
    setCurrentIndex(FSelect.ItemIndex());
}

void TComComboBox::Picked(int index) {
    // Called by Qt: a failing apply goes to the port errors' display.
    try {
        FSelect.Pick(index);
    } catch (const std::exception &error) {
        ShowComError(error);
    }
}
