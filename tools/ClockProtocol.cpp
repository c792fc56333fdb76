#include "tools/ClockImpl.h"

namespace {

// "ACK", "NAK + CAN", ... for the log.
std::string Names(const std::string &bytes) {
    std::string out;
    for (const char c : bytes) {
        if (!out.empty())
            out += " + ";
        out += c == VirtualClock::ACK   ? "ACK"
               : c == VirtualClock::NAK ? "NAK"
               : c == VirtualClock::CAN ? "CAN"
                                        : "byte";
    }
    return out;
}

} // namespace

// What the clock makes of one write (a chunk of bytes ended by the quiet gap).
void VirtualClock::Impl::EndChunk(TimePoint now) {
    std::vector<TimedByte> bytes;
    bytes.swap(chunk);
    bool awake;
    {
        std::lock_guard lock(mutex);
        awake = woken;
    }
    if (!awake) {
        HearWakeUp(bytes, now);
        return;
    }
    std::string data;
    for (const TimedByte &b : bytes)
        data += char(b.byte);
    const TimePoint first = bytes.front().time;
    if (data == std::string(1, CAN)) {
        // A wake-up CAN that crossed our ACK: a real clock lets it pass.
        std::lock_guard lock(mutex);
        ++ignoredCans;
        LogLocked(first, true, data, "late wake-up CAN, no answer");
        return;
    }
    const bool closing = data.front() == CAN;
    if (closing) {
        // The closing line: a CAN written right before its packet, with no pause between.
        std::lock_guard lock(mutex);
        ++closingCans;
        LogLocked(first, true, data.substr(0, 1), "closing CAN");
        data.erase(0, 1);
    }
    HearPacket(std::move(data), closing ? bytes[1].time : first, bytes.back().time, closing, now);
}

void VirtualClock::Impl::HearWakeUp(const std::vector<TimedByte> &bytes, TimePoint now) {
    std::lock_guard lock(mutex);
    std::string noise;
    for (const TimedByte &b : bytes) {
        const std::string one(1, char(b.byte));
        if (b.byte != CAN || woken) {
            noise += one;
            continue;
        }
        wakeCans.push_back(b.time);
        const std::string name = "wake-up CAN #" + std::to_string(wakeCans.size());
        const bool on = b.time - start >= options.wakeAfter;
        if (on && options.wakeAtCan > 0 && ++cansHeard >= options.wakeAtCan) {
            LogLocked(b.time, true, one, name + ", answered");
            ScheduleLocked(std::string(1, ACK), "wake-up ACK", now);
        } else {
            LogLocked(b.time, true, one, name + (on ? ", not answered" : ", clock still off"));
        }
    }
    if (!noise.empty())
        LogLocked(bytes.front().time, true, noise, "ignored before the wake-up");
}

void VirtualClock::Impl::HearPacket(std::string data, TimePoint time, TimePoint end, bool closing,
                                    TimePoint now) {
    Packet packet;
    packet.bytes = std::move(data);
    packet.record = packet.bytes.front() == STX;
    packet.checksumOk = ChecksumOk(packet.bytes);
    packet.closing = closing;
    packet.time = time;
    packet.end = end;
    {
        std::lock_guard lock(mutex);
        // The same bytes again after an answer without ACK are a re-send of that packet.
        const bool again = !packets.empty() && !lastAcked && packets.back().bytes == packet.bytes;
        packet.index = packets.empty() ? 0 : packets.back().index + (again ? 0 : 1);
        packet.attempt = again ? packets.back().attempt + 1 : 0;
    }
    const Reply reply =
        options.responder ? options.responder(packet) : options.script.Answer(packet);
    std::lock_guard lock(mutex);
    std::string note = "packet #" + std::to_string(packet.index);
    if (packet.attempt > 0)
        note += " (re-send " + std::to_string(packet.attempt) + ")";
    note += packet.checksumOk ? " ok" : " bad checksum";
    if (reply.bytes.empty())
        note += ", no answer";
    LogLocked(time, true, packet.bytes, note);
    lastAcked = reply.bytes.find(ACK) != std::string::npos;
    packets.push_back(std::move(packet));
    ScheduleLocked(reply.bytes,
                   Names(reply.bytes) + " to packet #" + std::to_string(packets.back().index),
                   now + reply.delay);
}

VirtualClock::Reply VirtualClock::Script::Answer(const Packet &packet) const {
    const std::string ack(1, ACK);
    if (silentFrom >= 0 && packet.index >= silentFrom)
        return {"", delay};
    if (!packet.checksumOk || (packet.index < nakPackets && packet.attempt < nakTimes))
        return {std::string(1, NAK), delay};
    if (packet.index == canAfter)
        return {ack + CAN, delay};
    return {ack, delay};
}

bool VirtualClock::ChecksumOk(std::string_view packet) {
    if (!packet.empty() && packet.front() == STX)
        packet.remove_prefix(1);
    if (packet.size() < 2 || packet[packet.size() - 2] != ETX)
        return false;
    if (packet.size() > 2)
        packet.remove_prefix(1);
    unsigned sum = 0;
    for (const char c : packet)
        sum += static_cast<unsigned char>(c);
    return sum % 256 == 0;
}

std::string VirtualClock::Frame(std::string_view data, bool record) {
    unsigned sum = ETX;
    for (std::size_t i = 1; i < data.size(); ++i)
        sum += static_cast<unsigned char>(data[i]);
    std::string out = record ? std::string(1, STX) : std::string();
    out += data;
    out += ETX;
    out += char((256 - sum % 256) % 256);
    return out;
}
