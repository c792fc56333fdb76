#include "tools/ClockImpl.h"

#include <algorithm>
#include <stdexcept>

namespace {

// The program answers each of these with one ACK.
int AnswersWanted(const std::string &item) {
    return int(std::count_if(item.begin(), item.end(), [](char c) {
        return c == VirtualClock::ETX || c == VirtualClock::CAN;
    }));
}

} // namespace

void VirtualClock::Impl::FetchStep(TimePoint now) {
    if (options.records.empty() || fetching == Fetching::over)
        return;
    if (fetching == Fetching::idle) {
        bool go = options.fetchAfter >= Ms(0) && now >= start + options.fetchAfter;
        {
            std::lock_guard lock(mutex);
            go = go || fetchRequested;
        }
        if (go) {
            fetching = Fetching::running;
            SendNextItem(now);
        }
        return;
    }
    if (!itemWritten)
        return;
    if (awaitedAcks == 0) {
        SendNextItem(now);
        return;
    }
    if (options.ackTimeout > Ms(0) && now >= ackDeadline) {
        // A record sent again would stand twice in the program's log, so the clock stops.
        std::lock_guard lock(mutex);
        fetching = Fetching::over;
        fetch.gaveUp = true;
        LogLocked(now, false, "",
                  "no ACK within " + std::to_string(options.ackTimeout.count()) +
                      " ms, hand-over stopped");
    }
}

void VirtualClock::Impl::SendNextItem(TimePoint now) {
    std::lock_guard lock(mutex);
    while (nextItem < options.records.size() && options.records[nextItem].empty())
        ++nextItem;
    if (nextItem == options.records.size()) {
        fetching = Fetching::over;
        fetch.done = true;
        ChangedLocked();
        return;
    }
    const std::string &item = options.records[nextItem];
    awaitedAcks = AnswersWanted(item);
    itemWritten = false;
    const std::string note =
        item == std::string(1, CAN) ? "hand-over CAN" : "record #" + std::to_string(nextItem);
    ScheduleLocked(item, note, now, true);
    ++nextItem;
}

void VirtualClock::Impl::HearDuringFetchLocked(const TimedByte &b) {
    const std::string one(1, char(b.byte));
    if (b.byte != ACK) {
        LogLocked(b.time, true, one, "ignored during the hand-over");
        return;
    }
    ++fetch.acks;
    if (awaitedAcks > 0)
        --awaitedAcks;
    LogLocked(b.time, true, one, "ACK to item #" + std::to_string(nextItem - 1));
}

void VirtualClock::Impl::ItemWrittenLocked(TimePoint now) {
    itemWritten = true;
    ++fetch.sent;
    ackDeadline = now + options.ackTimeout;
}

std::optional<VirtualClock::TimePoint> VirtualClock::Impl::FetchDeadlineLocked() const {
    if (options.records.empty())
        return std::nullopt;
    if (fetching == Fetching::idle)
        return fetchRequested                ? std::optional(start)
               : options.fetchAfter >= Ms(0) ? std::optional(start + options.fetchAfter)
                                             : std::nullopt;
    if (fetching == Fetching::running && itemWritten)
        return awaitedAcks == 0             ? std::optional(start)
               : options.ackTimeout > Ms(0) ? std::optional(ackDeadline)
                                            : std::nullopt;
    return std::nullopt;
}

void VirtualClock::StartFetch() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->fetchRequested = true;
    }
    impl_->Wake();
}

VirtualClock::FetchState VirtualClock::Fetch() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->fetch;
}

std::vector<std::string> VirtualClock::SampleRecords() {
    return ParseRecords("24\n"
                        "2,84,0,14,30,5,3,201\n"
                        "2,72,1,0,3,77\n"
                        "2,80,0,0,0,0,0,12,1,44,3,99\n");
}

std::vector<std::string> VirtualClock::ParseRecords(std::string_view text) {
    std::vector<std::string> items;
    int lineNo = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#')
            continue;
        std::string item;
        int value = -1;
        for (const char c : std::string(line) + ' ') {
            if (c >= '0' && c <= '9') {
                value = (value < 0 ? 0 : value * 10) + (c - '0');
                if (value > 255)
                    break;
                continue;
            }
            if (c != ',' && c != ' ' && c != '\t') {
                value = 256;
                break;
            }
            if (value >= 0)
                item += char(value);
            value = -1;
        }
        if (value > 255)
            throw std::invalid_argument("records line " + std::to_string(lineNo) +
                                        " is not a list of byte values 0 to 255: '" +
                                        std::string(line) + "'");
        items.push_back(std::move(item));
    }
    return items;
}
