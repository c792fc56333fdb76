// The clock's byte stream, cut into received-data events at places the fuzzer picks. Every
// split must give the log, the answers and the state of the unsplit stream.
#include "FuzzSupport.h"
#include "fetch/Capture.h"

#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct TOutcome {
    std::string Log;
    // For each ACK: the records begun and whether a frame had ended when it went out.
    std::vector<std::pair<long, bool>> Acks;
    bool Acknowledged, FrameEnded, AwaitingFirstRecord;
    long Records;

    bool operator==(const TOutcome &o) const {
        return std::tie(Log, Acks, Acknowledged, FrameEnded, AwaitingFirstRecord, Records) ==
               std::tie(o.Log, o.Acks, o.Acknowledged, o.FrameEnded, o.AwaitingFirstRecord,
                        o.Records);
    }
};

TOutcome Captured(const std::vector<std::string> &events, const std::string &path) {
    TUploadFlags flags;
    TOutcome out;
    TCapture *self = nullptr;
    TCapture capture(flags, [&] { out.Acks.emplace_back(self->Records, self->FrameEnded); });
    self = &capture;
    capture.Open(path);
    for (const std::string &event : events)
        capture.Take(event);
    capture.Close();
    out.Log = ReadFile(path);
    out.Acknowledged = flags.Acknowledged;
    out.FrameEnded = capture.FrameEnded;
    out.AwaitingFirstRecord = capture.AwaitingFirstRecord;
    out.Records = capture.Records;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Event sizes come from the end of the input, the bytes from its front.
    FuzzedDataProvider input(data, size);
    std::vector<std::string> events;
    std::string stream;
    while (input.remaining_bytes() > 0) {
        const size_t n = input.ConsumeIntegralInRange<size_t>(0, input.remaining_bytes());
        events.push_back(input.ConsumeBytesAsString(n));
        stream += events.back();
    }
    const TOutcome whole = Captured({stream}, ScratchDir() + "/whole.log");
    const TOutcome split = Captured(events, ScratchDir() + "/split.log");
    if (!(whole == split))
        Finding("a split stream gives another log or other answers");
    return 0;
}
