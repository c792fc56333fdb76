#include "serial/CPortLineState_posix.h"

#include <cerrno>
#include <cstddef>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace {

template <typename E> struct TCounterMeaning {
    int TLineCounters::*Counter;
    E Value;
};

constexpr TCounterMeaning<TComError> ErrorCounters[] = {
    {&TLineCounters::Frame, ceFrame},
    {&TLineCounters::Overrun, ceOverrun},
    {&TLineCounters::BufferOverrun, ceRxOver},
    {&TLineCounters::Break, ceBreak},
};

constexpr TCounterMeaning<TComEvent> EventCounters[] = {
    {&TLineCounters::Cts, evCTS},   {&TLineCounters::Dsr, evDSR},     {&TLineCounters::Dcd, evRLSD},
    {&TLineCounters::Ring, evRing}, {&TLineCounters::Break, evBreak},
};

template <typename Set, typename E, size_t N>
Set CountersThatMoved(const TCounterMeaning<E> (&meanings)[N], const TLineCounters &before,
                      const TLineCounters &after) {
    Set moved;
    for (const auto &meaning : meanings)
        if (after.*meaning.Counter != before.*meaning.Counter)
            moved.Include(meaning.Value);
    return moved;
}

} // namespace

bool IsUnsupported(int error) {
    return error == ENOTTY || error == EINVAL || error == EOPNOTSUPP;
}

bool ReadLineCounters(int handle, TLineCounters &counters) {
    serial_icounter_struct raw{};
    if (ioctl(handle, TIOCGICOUNT, &raw) != 0)
        return false;
    counters = {raw.cts,     raw.dsr,    raw.rng, raw.dcd,        raw.frame,
                raw.overrun, raw.parity, raw.brk, raw.buf_overrun};
    return true;
}

bool ReadModemBits(int handle, int &bits) {
    return ioctl(handle, TIOCMGET, &bits) == 0;
}

TModemSignals ModemBitsToSignals(int bits) {
    return TModemSignals::FromBits(
        (bits & TIOCM_CTS ? 1u << msCTS : 0) | (bits & TIOCM_DSR ? 1u << msDSR : 0) |
        (bits & TIOCM_RNG ? 1u << msRing : 0) | (bits & TIOCM_CAR ? 1u << msRLSD : 0));
}

TComErrors ErrorsBetween(const TLineCounters &before, const TLineCounters &after,
                         bool parityCheck) {
    TComErrors errors = CountersThatMoved<TComErrors>(ErrorCounters, before, after);
    if (parityCheck && after.Parity != before.Parity)
        errors.Include(ceRxParity);
    return errors;
}

TComEvents EventsBetween(const TLineCounters &before, const TLineCounters &after) {
    TComEvents events = CountersThatMoved<TComEvents>(EventCounters, before, after);
    if (!ErrorsBetween(before, after, true).Empty())
        events.Include(evError);
    return events;
}

TComEvents EventsBetweenBits(int before, int after) {
    const int changed = before ^ after;
    // Ring counts when the indicator comes on.
    return TComEvents::FromBits((changed & TIOCM_CTS ? 1u << evCTS : 0) |
                                (changed & TIOCM_DSR ? 1u << evDSR : 0) |
                                (changed & TIOCM_CAR ? 1u << evRLSD : 0) |
                                (changed & after & TIOCM_RNG ? 1u << evRing : 0));
}
