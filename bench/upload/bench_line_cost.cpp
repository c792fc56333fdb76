// Cost of turning one import line into its packet: time per byte for lines of
// 10 kB, 100 kB and 1 MB of values, and a line with one 10 MB number field.
#include "upload/Errors.h"
#include "upload/ImportLine.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// "<class>" and values of 1 to 3 digits, about `bytes` long.
std::string LineOfValues(std::size_t bytes) {
    std::string line = "<class>";
    for (int i = 0; line.size() < bytes; ++i)
        line += "," + std::to_string(i % 256);
    return line;
}

// Nanoseconds per byte of the line, the best of a few rounds of about 20 MB each.
double NsPerByte(const std::string &line) {
    const int repeats = int(std::max<std::size_t>(1, 20'000'000 / line.size()));
    double best = 1e30;
    std::size_t sink = 0;
    for (int round = 0; round < 5; ++round) {
        const auto start = Clock::now();
        for (int i = 0; i < repeats; ++i)
            sink += WireLine(line).Packet.size();
        const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        best = std::min(best, ns / (double(line.size()) * repeats));
    }
    if (sink == 0)
        std::printf("no packet\n");
    return best;
}

} // namespace

int main() {
    const std::size_t sizes[] = {10'000, 100'000, 1'000'000};
    double first = 0;
    double last = 0;
    for (std::size_t size : sizes) {
        const std::string line = LineOfValues(size);
        const double ns = NsPerByte(line);
        std::printf("line of %7zu bytes: %.2f ns per byte\n", line.size(), ns);
        if (first == 0)
            first = ns;
        last = ns;
    }
    std::printf("ratio 1 MB / 10 kB: %.2f (goal at most 1.5)\n", last / first);

    const long rssBefore = PeakRssKiB();
    const std::string line = "<class>,1," + std::string(10'000'000, '7') + ",2";
    const long rssLine = PeakRssKiB();
    const auto start = Clock::now();
    std::size_t messageBytes = 0;
    try {
        WireLine(line);
        std::printf("10 MB field: no error raised\n");
    } catch (const EConvertError &e) {
        messageBytes = std::string(e.what()).size();
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("10 MB field: %.1f ms, message %zu bytes, peak memory %ld KiB "
                "(%ld KiB before the line, %ld KiB with it)\n",
                ms, messageBytes, PeakRssKiB(), rssBefore, rssLine);
    return 0;
}
