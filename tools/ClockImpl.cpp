#include "tools/ClockImpl.h"

#include "tools/Pty.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

using std::chrono::steady_clock;

VirtualClock::Impl::Impl(Options opts) : options(std::move(opts)) {
    const RawPty pty = OpenRawPty();
    master = pty.master;
    slave = pty.slave;
    slavePath = pty.slavePath;
    wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    try {
        if (wakeFd < 0)
            throw std::system_error(errno, std::generic_category(), "eventfd");
        if (!options.linkPath.empty())
            MakeLink(options.linkPath, slavePath);
    } catch (...) {
        close(master);
        close(slave);
        if (wakeFd >= 0)
            close(wakeFd);
        throw;
    }
    linkPath = options.linkPath;
    start = steady_clock::now();
    rxSlot = txSlot = start;
    thread = std::thread([this] { Run(); });
}

VirtualClock::Impl::~Impl() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    Wake();
    thread.join();
    Hangup();
    close(wakeFd);
}

void VirtualClock::Impl::Wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(wakeFd, &one, sizeof one);
}

void VirtualClock::Impl::Hangup() {
    if (master < 0)
        return;
    close(master);
    close(slave);
    master = slave = -1;
    if (!linkPath.empty())
        RemoveLink(linkPath, slavePath);
    inFlight.clear();
    chunk.clear();
}

void VirtualClock::Impl::Run() {
    for (;;) {
        const TimePoint now = steady_clock::now();
        ReleaseVisible(now);
        FetchStep(now);
        if (!chunk.empty() && now >= chunk.back().time + options.quietGap)
            EndChunk(now);
        FlushDue(now);
        std::vector<std::string> lines;
        lines.swap(toObserve);
        if (options.observer)
            for (const std::string &line : lines)
                options.observer(line);

        // Sleep until the next thing falls due; nothing here polls in a loop.
        const std::optional<TimePoint> deadline = NextDeadline();
        timespec ts{};
        if (deadline) {
            const auto left = std::max(*deadline - steady_clock::now(), steady_clock::duration{});
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            ts.tv_sec = ns / 1'000'000'000;
            ts.tv_nsec = ns % 1'000'000'000;
        }
        pollfd fds[2] = {{wakeFd, POLLIN, 0},
                         {master, short(POLLIN | (txBlocked ? POLLOUT : 0)), 0}};
        const nfds_t count = master >= 0 ? 2 : 1;
        if (ppoll(fds, count, deadline ? &ts : nullptr, nullptr) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            std::uint64_t n;
            [[maybe_unused]] const ssize_t r = read(wakeFd, &n, sizeof n);
            std::lock_guard lock(mutex);
            if (stopping)
                return;
            if (unplugRequested && !unplugged) {
                Hangup();
                tx.clear();
                unplugged = true;
                ChangedLocked();
                continue;
            }
        }
        if (count == 2 && (fds[1].revents & POLLOUT))
            txBlocked = false;
        if (count == 2 && (fds[1].revents & POLLIN))
            ReadLine(steady_clock::now());
    }
}

void VirtualClock::Impl::ReadLine(TimePoint now) {
    unsigned char buf[4096];
    const ssize_t n = read(master, buf, sizeof buf);
    for (ssize_t i = 0; i < n; ++i) {
        // Paced: a byte reaches the clock when its stop bit has gone over the line.
        const TimePoint at = options.pace ? std::max(now, rxSlot) + ByteTime : now;
        rxSlot = at;
        inFlight.push_back({at, buf[i]});
    }
}

void VirtualClock::Impl::ReleaseVisible(TimePoint now) {
    if (inFlight.empty() || inFlight.front().time > now)
        return;
    std::lock_guard lock(mutex);
    while (!inFlight.empty() && inFlight.front().time <= now) {
        const TimedByte b = inFlight.front();
        inFlight.pop_front();
        received.push_back(b);
        if (fetching == Fetching::running)
            HearDuringFetchLocked(b);
        else
            chunk.push_back(b);
    }
    ChangedLocked();
}

void VirtualClock::Impl::FlushDue(TimePoint now) {
    std::lock_guard lock(mutex);
    while (master >= 0 && !txBlocked && !tx.empty() && tx.front().due <= now) {
        Out &out = tx.front();
        const std::size_t want = options.pace ? 1 : out.bytes.size() - out.done;
        const ssize_t n = write(master, out.bytes.data() + out.done, want);
        if (n < 0) {
            // Full: nobody reads the slave. Any other failure drops what is queued.
            if (errno == EAGAIN)
                txBlocked = true;
            else
                tx.clear();
            return;
        }
        if (out.done == 0)
            out.first = now;
        out.done += std::size_t(n);
        if (options.pace)
            txSlot = out.due = out.due + ByteTime;
        if (out.done < out.bytes.size())
            continue;
        sent.push_back({out.first, out.bytes});
        LogLocked(out.first, false, out.bytes, out.note);
        if (out.fetch)
            ItemWrittenLocked(now);
        tx.pop_front();
        if (!tx.empty() && options.pace)
            tx.front().due = std::max(tx.front().due, txSlot);
    }
}

std::optional<VirtualClock::TimePoint> VirtualClock::Impl::NextDeadline() {
    std::optional<TimePoint> next;
    const auto consider = [&next](TimePoint t) { next = next ? std::min(*next, t) : t; };
    if (!inFlight.empty())
        consider(inFlight.front().time);
    if (!chunk.empty())
        consider(chunk.back().time + options.quietGap);
    std::lock_guard lock(mutex);
    if (!tx.empty() && !txBlocked)
        consider(tx.front().due);
    if (const std::optional<TimePoint> fetchDue = FetchDeadlineLocked())
        consider(*fetchDue);
    return next;
}

void VirtualClock::Impl::ScheduleLocked(std::string bytes, std::string note, TimePoint at,
                                        bool fetchItem) {
    if (bytes.empty() || unplugged)
        return;
    if (!fetchItem && bytes.find(ACK) != std::string::npos)
        woken = true;
    const TimePoint due = options.pace ? std::max(at + ByteTime, txSlot) : at;
    tx.push_back({std::move(bytes), std::move(note), due, 0, {}, fetchItem});
}

void VirtualClock::Impl::ChangedLocked() {
    ++version;
    changed.notify_all();
}
