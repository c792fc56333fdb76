#include "tools/ClockOptions.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>

const char *const ClockUsage =
    R"(Usage: rz8-virtual-clock [options]
A stand-in for an RZ7/RZ8 clock on a pseudo-terminal. Runs until Ctrl-C.

  --link PATH        symlink to the port (default /tmp/rz8-clock)
  --no-link          make no symlink; open the printed /dev/pts path
  --wake-at N        answer the N-th wake-up CAN with ACK (default 1)
  --wake-after MS    switch the clock on MS ms after start; earlier CANs go unheard
  --no-wake          never answer the wake-up
  --nak N            answer the first packet(s) with NAK N times before the ACK
  --nak-packets M    how many packets get those NAKs (default 1)
  --can-after K      answer packet K (0 = the first) with ACK, then CAN
  --silent-from K    give no answer from packet K on
  --delay MS         wait MS ms before every packet answer
  --pace             pace the line at 4800 bit/s, 8N1, both ways
  --gap MS           quiet time that ends a write (default 20)
  --records FILE     play the fetch: hand over FILE's items, one a line, each the
                     bytes as sent in decimal, e.g. 2,84,0,14,30,5,3,201 (STX, type,
                     data, ETX, checksum) or a lone 24 (CAN); # begins a comment
  --sample-records   play the fetch with a CAN and three sample records
  --fetch-after MS   begin the hand-over MS ms after start (default 5000), time
                     to open the capture in the program
  --ack-timeout MS   each item waits for one ACK per ETX and CAN in it; with none
                     for MS ms (default 2000, 0 = wait forever) the clock stops
                     the hand-over rather than send a record twice
  --log PATH         write the hex log there on exit
  --quiet            do not print each byte chunk as it comes
  --help             this text
)";

namespace {

int Number(const std::string &option, const std::string &text, int lowest) {
    int value = 0;
    const auto [end, err] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (err != std::errc() || end != text.data() + text.size() || value < lowest)
        throw std::invalid_argument(option + " wants a whole number of at least " +
                                    std::to_string(lowest) + ", not '" + text + "'");
    return value;
}

} // namespace

ClockCommandLine ParseClockCommandLine(const std::vector<std::string> &args) {
    ClockCommandLine cl;
    cl.clock.linkPath = "/tmp/rz8-clock";
    VirtualClock::Script &script = cl.clock.script;
    VirtualClock::Ms fetchAfter{5000};
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::string value;
        const std::size_t eq = option.find('=');
        const bool inlineValue = option.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = option.substr(eq + 1);
            option.resize(eq);
        }
        const auto arg = [&]() -> const std::string & {
            if (!inlineValue && ++i >= args.size())
                throw std::invalid_argument(option + " wants a value");
            return inlineValue ? value : args[i];
        };
        const auto ms = [&] { return VirtualClock::Ms(Number(option, arg(), 0)); };
        if (option == "--help" || option == "-h")
            cl.help = true;
        else if (option == "--link")
            cl.clock.linkPath = arg();
        else if (option == "--no-link")
            cl.clock.linkPath.clear();
        else if (option == "--wake-at")
            cl.clock.wakeAtCan = Number(option, arg(), 1);
        else if (option == "--wake-after")
            cl.clock.wakeAfter = ms();
        else if (option == "--no-wake")
            cl.clock.wakeAtCan = 0;
        else if (option == "--nak")
            script.nakTimes = Number(option, arg(), 0);
        else if (option == "--nak-packets")
            script.nakPackets = Number(option, arg(), 0);
        else if (option == "--can-after")
            script.canAfter = Number(option, arg(), 0);
        else if (option == "--silent-from")
            script.silentFrom = Number(option, arg(), 0);
        else if (option == "--delay")
            script.delay = ms();
        else if (option == "--pace")
            cl.clock.pace = true;
        else if (option == "--gap")
            cl.clock.quietGap = VirtualClock::Ms(Number(option, arg(), 1));
        else if (option == "--records") {
            const std::string path = arg();
            std::ifstream file(path, std::ios::binary);
            std::ostringstream text;
            if (!(text << file.rdbuf()))
                throw std::invalid_argument("--records cannot read '" + path + "'");
            cl.clock.records = VirtualClock::ParseRecords(text.str());
        } else if (option == "--sample-records")
            cl.clock.records = VirtualClock::SampleRecords();
        else if (option == "--fetch-after")
            fetchAfter = ms();
        else if (option == "--ack-timeout")
            cl.clock.ackTimeout = ms();
        else if (option == "--log")
            cl.logPath = arg();
        else if (option == "--quiet")
            cl.quiet = true;
        else
            throw std::invalid_argument("unknown option " + option + " (see --help)");
    }
    if (!cl.clock.records.empty())
        cl.clock.fetchAfter = fetchAfter;
    return cl;
}
