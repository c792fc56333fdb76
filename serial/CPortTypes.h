#pragma once

#include <cstdint>
#include <initializer_list>

// Enumerations and small sets shared by the port, its settings and its event thread.

enum TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};

enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };

enum TComEvent {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};

enum TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };

enum TModemSignal { msCTS, msDSR, msRing, msRLSD };

// A set over an enumeration whose values run from 0 to Size - 1.
template <typename E, int Size> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> values) {
        for (E value : values)
            FBits |= Bit(value);
    }

    static constexpr TEnumSet All() { return FromBits((1u << Size) - 1); }
    static constexpr TEnumSet FromBits(uint32_t bits) {
        TEnumSet set;
        set.FBits = bits & ((1u << Size) - 1);
        return set;
    }

    constexpr uint32_t Bits() const { return FBits; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr bool Contains(E value) const { return (FBits & Bit(value)) != 0; }

    constexpr TEnumSet &Include(E value) {
        FBits |= Bit(value);
        return *this;
    }
    constexpr TEnumSet &Exclude(E value) {
        FBits &= ~Bit(value);
        return *this;
    }

    friend constexpr TEnumSet operator+(TEnumSet a, TEnumSet b) {
        return FromBits(a.FBits | b.FBits);
    }
    friend constexpr TEnumSet operator*(TEnumSet a, TEnumSet b) {
        return FromBits(a.FBits & b.FBits);
    }
    friend constexpr TEnumSet operator-(TEnumSet a, TEnumSet b) {
        return FromBits(a.FBits & ~b.FBits);
    }
    friend constexpr bool operator==(TEnumSet a, TEnumSet b) { return a.FBits == b.FBits; }

private:
    static constexpr uint32_t Bit(E value) { return 1u << static_cast<int>(value); }
    uint32_t FBits = 0;
};

using TComEvents = TEnumSet<TComEvent, 10>;
using TComErrors = TEnumSet<TComError, 8>;
using TModemSignals = TEnumSet<TModemSignal, 4>;

inline constexpr TComEvents AllComEvents = TComEvents::All();
