#include "tools/ClockImpl.h"

namespace {

// A copy of a shared field, taken under the clock's lock.
template <class T> T Locked(const VirtualClock::Impl &impl, const T &field) {
    std::lock_guard lock(impl.mutex);
    return field;
}

} // namespace

VirtualClock::VirtualClock() : VirtualClock(Options{}) {}

VirtualClock::VirtualClock(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

VirtualClock::~VirtualClock() = default;

const std::string &VirtualClock::SlavePath() const {
    return impl_->slavePath;
}

const std::string &VirtualClock::LinkPath() const {
    return impl_->linkPath;
}

VirtualClock::TimePoint VirtualClock::StartTime() const {
    return impl_->start;
}

void VirtualClock::Send(std::string bytes) {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->ScheduleLocked(std::move(bytes), "sent", std::chrono::steady_clock::now());
    }
    impl_->Wake();
}

void VirtualClock::Unplug() {
    std::unique_lock lock(impl_->mutex);
    impl_->unplugRequested = true;
    impl_->Wake();
    impl_->changed.wait(lock, [this] { return impl_->unplugged; });
}

bool VirtualClock::Woken() const {
    return Locked(*impl_, impl_->woken);
}

std::string VirtualClock::Received() const {
    std::string out;
    for (const TimedByte &b : ReceivedBytes())
        out += char(b.byte);
    return out;
}

std::vector<VirtualClock::TimedByte> VirtualClock::ReceivedBytes() const {
    return Locked(*impl_, impl_->received);
}

std::vector<VirtualClock::TimePoint> VirtualClock::WakeCans() const {
    return Locked(*impl_, impl_->wakeCans);
}

int VirtualClock::IgnoredCans() const {
    return Locked(*impl_, impl_->ignoredCans);
}

int VirtualClock::ClosingCans() const {
    return Locked(*impl_, impl_->closingCans);
}

std::vector<VirtualClock::Packet> VirtualClock::Packets() const {
    return Locked(*impl_, impl_->packets);
}

std::vector<VirtualClock::Sent> VirtualClock::Answers() const {
    return Locked(*impl_, impl_->sent);
}

bool VirtualClock::WaitFor(const std::function<bool()> &done, Ms timeout) const {
    const TimePoint deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(impl_->mutex);
    for (;;) {
        const std::uint64_t seen = impl_->version;
        lock.unlock();
        if (done())
            return true;
        lock.lock();
        if (!impl_->changed.wait_until(lock, deadline, [&] { return impl_->version != seen; }))
            return false;
    }
}
