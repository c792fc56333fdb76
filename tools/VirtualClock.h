#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A stand-in for the RZ7/RZ8 clock on a pseudo-terminal. The program under test opens
// SlavePath() (or the link) as its serial port; the clock answers from a thread of its own,
// so it keeps answering while the caller's thread waits in an event loop.
class VirtualClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Ms = std::chrono::milliseconds;

    static constexpr char STX = 0x02;
    static constexpr char ETX = 0x03;
    static constexpr char ACK = 0x06;
    static constexpr char NAK = 0x15;
    static constexpr char CAN = 0x18;
    // One byte at 4800 bit/s, 8N1: ten bits.
    static constexpr std::chrono::nanoseconds ByteTime{10'000'000'000 / 4800};

    // One packet as the clock saw it.
    struct Packet {
        int index = 0;   // 0-based; a re-send after a NAK or silence keeps the index
        int attempt = 0; // 0 for the first sending, 1, 2, ... for re-sends
        std::string bytes;
        bool record = false; // began with STX
        bool checksumOk = false;
        bool closing = false; // came right behind a CAN in the same write (the closing line)
        TimePoint time;       // its first byte
        TimePoint end;        // its last byte
    };

    // The answer to one packet; empty bytes = silence.
    struct Reply {
        std::string bytes;
        Ms delay{0};
    };
    using Responder = std::function<Reply(const Packet &)>;

    // The ready-made answers. A bad checksum is always answered NAK (unless silent).
    struct Script {
        int nakTimes = 0; // NAK each of the first nakPackets packets this many times, then ACK
        int nakPackets = 1;
        int canAfter = -1;   // answer this packet with ACK then CAN
        int silentFrom = -1; // no answer from this packet on
        Ms delay{0};         // before every answer
        Reply Answer(const Packet &packet) const;
    };

    struct Options {
        std::string linkPath; // a symlink to the slave, removed again; empty: none
        int wakeAtCan = 1;    // ACK the n-th wake-up CAN heard; 0: never
        Ms wakeAfter{0};      // switched on this long after start; earlier CANs go unheard
        Ms quietGap{20};      // a write ends after this long without a byte
        bool pace = false;    // 4800 bit/s both ways
        Script script;
        Responder responder; // replaces the script when set; runs on the clock's thread
        // Each new hex log line, on the clock's thread.
        std::function<void(const std::string &)> observer;

        // The fetch: what the clock hands over, one item at a time, each as it goes on the
        // line (a record is STX, type, data, ETX, checksum; a lone CAN is an item too). The
        // program answers every ETX and CAN with ACK; the next item goes once all answers
        // to this one have come. While the hand-over runs, the clock hears only those ACKs.
        std::vector<std::string> records;
        Ms fetchAfter{-1};   // the hand-over begins this long after start; negative: StartFetch()
        Ms ackTimeout{2000}; // answers missing this long after an item: the hand-over stops
    };

    struct FetchState {
        int sent = 0;        // items written whole
        int acks = 0;        // ACKs heard during the hand-over
        bool done = false;   // every item sent and answered
        bool gaveUp = false; // an answer did not come within ackTimeout
    };

    struct Sent {
        TimePoint time; // first byte written
        std::string bytes;
    };
    struct TimedByte {
        TimePoint time; // when the clock saw it (its line time when paced)
        unsigned char byte;
    };

    // Throws std::system_error when the pseudo-terminal or the link cannot be made.
    VirtualClock();
    explicit VirtualClock(Options options);
    ~VirtualClock();
    VirtualClock(const VirtualClock &) = delete;
    VirtualClock &operator=(const VirtualClock &) = delete;

    const std::string &SlavePath() const;
    const std::string &LinkPath() const;
    TimePoint StartTime() const;

    // Writes bytes to the line soon, from any thread. An ACK ends the wake-up phase.
    void Send(std::string bytes);
    // Closes the line as an unplugged adapter would: the program sees a hang-up.
    // Also removes the link. Not to be called from the responder.
    void Unplug();

    // Begins the hand-over of options.records now (once; later calls do nothing).
    void StartFetch();
    FetchState Fetch() const;

    bool Woken() const;
    std::string Received() const;
    std::vector<TimedByte> ReceivedBytes() const;
    std::vector<TimePoint> WakeCans() const; // CANs heard in the wake-up phase
    int IgnoredCans() const;                 // lone CANs after the wake-up
    int ClosingCans() const;
    std::vector<Packet> Packets() const;
    std::vector<Sent> Answers() const; // everything written, Send() included

    // Waits until done() holds, re-checking whenever the clock records something.
    bool WaitFor(const std::function<bool()> &done, Ms timeout) const;

    std::string HexLog() const;
    bool WriteHexLog(const std::string &path) const;
    std::string Summary() const;

    // The clock's test: from the second data byte through the checksum, ETX included, the
    // bytes add up to a multiple of 256; a leading STX and the first data byte are left out.
    static bool ChecksumOk(std::string_view packet);
    // STX (when record), data, ETX and the checksum that passes ChecksumOk.
    static std::string Frame(std::string_view data, bool record = true);
    // The hand-over of a CAN and three records: a time, a name and a pass.
    static std::vector<std::string> SampleRecords();
    // One item a line, its bytes in decimal, separated by commas or blanks. Empty lines and
    // lines that begin with # are skipped. Throws std::invalid_argument naming the line.
    static std::vector<std::string> ParseRecords(std::string_view text);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
