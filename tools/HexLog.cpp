#include "tools/ClockImpl.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace {

constexpr std::size_t BytesPerRow = 16;

std::string Hex(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (const char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(c));
        out += buf;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}

} // namespace

// "  1002.1 ms  rx  18          wake-up CAN #1, answered"; long writes go on in rows of 16.
std::string FormatLogLine(const VirtualClock::Impl::LogLine &line, VirtualClock::TimePoint start) {
    const double ms = std::chrono::duration<double, std::milli>(line.time - start).count();
    char head[32];
    std::snprintf(head, sizeof head, "%10.1f ms  %s  ", ms, line.received ? "rx" : "tx");
    std::string out;
    for (std::size_t at = 0; at == 0 || at < line.bytes.size(); at += BytesPerRow) {
        const std::string hex = Hex(std::string_view(line.bytes).substr(at, BytesPerRow));
        out += at == 0 ? std::string(head) : std::string(std::string_view(head).size(), ' ');
        out += hex;
        if (at == 0) {
            out += std::string(BytesPerRow * 3 + 1 - hex.size(), ' ');
            out += line.note;
        }
        out += '\n';
    }
    return out;
}

void VirtualClock::Impl::LogLocked(TimePoint time, bool rx, std::string bytes, std::string note) {
    log.push_back({time, rx, std::move(bytes), std::move(note)});
    toObserve.push_back(FormatLogLine(log.back(), start));
    ChangedLocked();
}

std::string VirtualClock::HexLog() const {
    std::vector<Impl::LogLine> lines;
    {
        std::lock_guard lock(impl_->mutex);
        lines = impl_->log;
    }
    // A write is logged when it ends, after anything sent while it came in.
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto &a, const auto &b) { return a.time < b.time; });
    std::string out = "virtual clock on " + impl_->slavePath + ", times from its start\n";
    for (const Impl::LogLine &line : lines)
        out += FormatLogLine(line, impl_->start);
    return out;
}

bool VirtualClock::WriteHexLog(const std::string &path) const {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << HexLog();
    return bool(file.flush());
}

std::string VirtualClock::Summary() const {
    std::lock_guard lock(impl_->mutex);
    int resends = 0;
    int bad = 0;
    for (const Packet &p : impl_->packets) {
        resends += p.attempt > 0;
        bad += !p.checksumOk;
    }
    const int distinct = impl_->packets.empty() ? 0 : impl_->packets.back().index + 1;
    std::string fetch;
    if (!impl_->options.records.empty())
        fetch = "hand-over: " + std::to_string(impl_->fetch.sent) + " of " +
                std::to_string(impl_->options.records.size()) + " items sent, " +
                std::to_string(impl_->fetch.acks) + " ACKs heard" +
                (impl_->fetch.done     ? " (done)"
                 : impl_->fetch.gaveUp ? " (stopped: no ACK)"
                                       : "") +
                "\n";
    return fetch + "wake-up CANs: " + std::to_string(impl_->wakeCans.size()) +
           (impl_->woken ? " (answered)" : " (not answered)") +
           "\npackets: " + std::to_string(distinct) + ", re-sends: " + std::to_string(resends) +
           ", bad checksums: " + std::to_string(bad) +
           "\nclosing CANs: " + std::to_string(impl_->closingCans) +
           ", late wake-up CANs: " + std::to_string(impl_->ignoredCans) +
           "\nanswers written: " + std::to_string(impl_->sent.size()) + "\n";
}
