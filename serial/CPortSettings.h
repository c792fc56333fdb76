#pragma once

#include "serial/CPortTypes.h"

#include <cstdint>

// The groups a settings change re-applies on an open port.
enum class TComSettingsGroup { LineSettings, Timeouts, QueueSizes };

// Whoever owns settings objects and wants to hear of their changes (the port).
class TComSettingsOwner {
public:
    virtual void SettingsChanged(TComSettingsGroup group) = 0;

protected:
    ~TComSettingsOwner() = default;
};

// Base of the settings objects: their fields live in one struct; a setter stores a value only
// when it differs and reports one change of the group; a copy takes all fields at once.
template <typename TFields, TComSettingsGroup Group> class TComSettingsObject {
public:
    TComSettingsObject(const TComSettingsObject &) = delete;
    TComSettingsObject &operator=(const TComSettingsObject &) = delete;

    TComSettingsOwner *Owner() const { return FOwner; }

protected:
    explicit TComSettingsObject(TComSettingsOwner *owner) : FOwner(owner) {}
    ~TComSettingsObject() = default;

    void Changed() {
        if (FOwner)
            FOwner->SettingsChanged(Group);
    }
    template <typename T> void Store(T &field, T value) {
        if (field == value)
            return;
        field = value;
        Changed();
    }
    void AssignFields(const TComSettingsObject &source) {
        F = source.F;
        Changed();
    }

    TFields F;

private:
    TComSettingsOwner *FOwner;
};

struct TComParityFields {
    TParityBits Bits = prNone;
    bool Check = false;
    bool Replace = false;
    char ReplaceChar = 0;
};

class TComParity : public TComSettingsObject<TComParityFields, TComSettingsGroup::LineSettings> {
public:
    explicit TComParity(TComSettingsOwner *owner = nullptr) : TComSettingsObject(owner) {}
    void Assign(const TComParity &source) { AssignFields(source); }

    TParityBits Bits() const { return F.Bits; }
    void SetBits(TParityBits value) { Store(F.Bits, value); }
    bool Check() const { return F.Check; }
    void SetCheck(bool value) { Store(F.Check, value); }
    bool Replace() const { return F.Replace; }
    void SetReplace(bool value) { Store(F.Replace, value); }
    char ReplaceChar() const { return F.ReplaceChar; }
    void SetReplaceChar(char value) { Store(F.ReplaceChar, value); }
};

struct TComFlowControlFields {
    bool OutCTSFlow = false;
    bool OutDSRFlow = false;
    TDTRFlowControl ControlDTR = dtrDisable;
    TRTSFlowControl ControlRTS = rtsDisable;
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    bool DSRSensitivity = false;
    bool TxContinueOnXoff = false;
    char XonChar = 17;
    char XoffChar = 19;
};

class TComFlowControl
    : public TComSettingsObject<TComFlowControlFields, TComSettingsGroup::LineSettings> {
public:
    explicit TComFlowControl(TComSettingsOwner *owner = nullptr) : TComSettingsObject(owner) {}
    void Assign(const TComFlowControl &source) { AssignFields(source); }

    bool OutCTSFlow() const { return F.OutCTSFlow; }
    void SetOutCTSFlow(bool value) { Store(F.OutCTSFlow, value); }
    bool OutDSRFlow() const { return F.OutDSRFlow; }
    void SetOutDSRFlow(bool value) { Store(F.OutDSRFlow, value); }
    TDTRFlowControl ControlDTR() const { return F.ControlDTR; }
    void SetControlDTR(TDTRFlowControl value) { Store(F.ControlDTR, value); }
    TRTSFlowControl ControlRTS() const { return F.ControlRTS; }
    void SetControlRTS(TRTSFlowControl value) { Store(F.ControlRTS, value); }
    bool XonXoffOut() const { return F.XonXoffOut; }
    void SetXonXoffOut(bool value) { Store(F.XonXoffOut, value); }
    bool XonXoffIn() const { return F.XonXoffIn; }
    void SetXonXoffIn(bool value) { Store(F.XonXoffIn, value); }
    bool DSRSensitivity() const { return F.DSRSensitivity; }
    void SetDSRSensitivity(bool value) { Store(F.DSRSensitivity, value); }
    bool TxContinueOnXoff() const { return F.TxContinueOnXoff; }
    void SetTxContinueOnXoff(bool value) { Store(F.TxContinueOnXoff, value); }
    char XonChar() const { return F.XonChar; }
    void SetXonChar(char value) { Store(F.XonChar, value); }
    char XoffChar() const { return F.XoffChar; }
    void SetXoffChar(char value) { Store(F.XoffChar, value); }

    // Composite view over ControlRTS, OutCTSFlow and both XON/XOFF switches.
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl value);
};

// Milliseconds; -1 stands for the all-ones 32-bit value.
struct TComTimeoutsFields {
    int32_t ReadInterval = -1;
    int32_t ReadTotalMultiplier = 0;
    int32_t ReadTotalConstant = 0;
    int32_t WriteTotalMultiplier = 100;
    int32_t WriteTotalConstant = 1000;
};

class TComTimeouts : public TComSettingsObject<TComTimeoutsFields, TComSettingsGroup::Timeouts> {
public:
    explicit TComTimeouts(TComSettingsOwner *owner = nullptr) : TComSettingsObject(owner) {}
    void Assign(const TComTimeouts &source) { AssignFields(source); }

    int32_t ReadInterval() const { return F.ReadInterval; }
    void SetReadInterval(int32_t value) { Store(F.ReadInterval, value); }
    int32_t ReadTotalMultiplier() const { return F.ReadTotalMultiplier; }
    void SetReadTotalMultiplier(int32_t value) { Store(F.ReadTotalMultiplier, value); }
    int32_t ReadTotalConstant() const { return F.ReadTotalConstant; }
    void SetReadTotalConstant(int32_t value) { Store(F.ReadTotalConstant, value); }
    int32_t WriteTotalMultiplier() const { return F.WriteTotalMultiplier; }
    void SetWriteTotalMultiplier(int32_t value) { Store(F.WriteTotalMultiplier, value); }
    int32_t WriteTotalConstant() const { return F.WriteTotalConstant; }
    void SetWriteTotalConstant(int32_t value) { Store(F.WriteTotalConstant, value); }
};

// Recommended queue sizes in bytes; stored sizes are even.
struct TComBufferFields {
    int32_t InputSize = 1024;
    int32_t OutputSize = 1024;
};

class TComBuffer : public TComSettingsObject<TComBufferFields, TComSettingsGroup::QueueSizes> {
public:
    explicit TComBuffer(TComSettingsOwner *owner = nullptr) : TComSettingsObject(owner) {}
    void Assign(const TComBuffer &source) { AssignFields(source); }

    int32_t InputSize() const { return F.InputSize; }
    void SetInputSize(int32_t value) { Store(F.InputSize, MakeEven(value)); }
    int32_t OutputSize() const { return F.OutputSize; }
    void SetOutputSize(int32_t value) { Store(F.OutputSize, MakeEven(value)); }

private:
    static int32_t MakeEven(int32_t value) { return value > 0 && value % 2 ? value - 1 : value; }
};
