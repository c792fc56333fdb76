#pragma once

#include "tools/VirtualClock.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

// The clock's inside. Fields below `mutex` are shared with the caller's threads; the ones
// above it belong to the clock's thread.
struct VirtualClock::Impl {
    struct Out {
        std::string bytes;
        std::string note;
        TimePoint due;
        std::size_t done = 0;
        TimePoint first;
        bool fetch = false; // an item of the hand-over
    };
    struct LogLine {
        TimePoint time;
        bool received;
        std::string bytes;
        std::string note;
    };

    explicit Impl(Options options);
    ~Impl();

    void Run();
    void ReadLine(TimePoint now);
    void ReleaseVisible(TimePoint now);
    void EndChunk(TimePoint now);
    void HearWakeUp(const std::vector<TimedByte> &bytes, TimePoint now);
    void HearPacket(std::string bytes, TimePoint time, TimePoint end, bool closing, TimePoint now);
    void FlushDue(TimePoint now);
    std::optional<TimePoint> NextDeadline();
    void Hangup();
    void FetchStep(TimePoint now);
    void SendNextItem(TimePoint now);
    void Wake() const;

    // With the mutex held.
    void HearDuringFetchLocked(const TimedByte &b);
    void ItemWrittenLocked(TimePoint now);
    std::optional<TimePoint> FetchDeadlineLocked() const;
    void ScheduleLocked(std::string bytes, std::string note, TimePoint at, bool fetchItem = false);
    void LogLocked(TimePoint time, bool received, std::string bytes, std::string note);
    void ChangedLocked();

    const Options options;
    std::string slavePath;
    std::string linkPath;
    int master = -1;
    int slave = -1;
    int wakeFd = -1;
    TimePoint start;

    std::deque<TimedByte> inFlight; // read, not yet at its line time
    std::vector<TimedByte> chunk;
    TimePoint rxSlot;
    bool txBlocked = false;
    std::vector<std::string> toObserve;

    // The hand-over, on the clock's thread.
    enum class Fetching { idle, running, over } fetching = Fetching::idle;
    std::size_t nextItem = 0;
    int awaitedAcks = 0; // answers the current item still wants
    bool itemWritten = false;
    TimePoint ackDeadline; // when itemWritten and awaitedAcks > 0

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::uint64_t version = 0;
    bool stopping = false;
    bool unplugRequested = false;
    bool unplugged = false;
    bool fetchRequested = false;
    FetchState fetch;
    bool woken = false;
    int cansHeard = 0;
    std::vector<TimedByte> received;
    std::vector<TimePoint> wakeCans;
    int ignoredCans = 0;
    int closingCans = 0;
    std::vector<Packet> packets;
    bool lastAcked = false;
    std::vector<Sent> sent;
    std::deque<Out> tx;
    TimePoint txSlot;
    std::vector<LogLine> log;

    std::thread thread;
};

std::string FormatLogLine(const VirtualClock::Impl::LogLine &line, VirtualClock::TimePoint start);
