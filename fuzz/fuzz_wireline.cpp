// One import line to the bytes the clock receives. Only the program's own errors may come
// out; any other exception is a finding (libFuzzer reports it as a crash).
#include "FuzzSupport.h"
#include "upload/Errors.h"
#include "upload/ImportLine.h"
#include "upload/Transfer.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string line(reinterpret_cast<const char *>(data), size);
    try {
        const TWireLine wire = WireLine(line);
        // Only the closing line has a lead, and every line that sends carries ETX.
        if (!wire.Lead.empty() && wire.Lead != "\x18")
            Finding("a lead other than CAN");
        if (!wire.Packet.empty() && wire.Packet.find('\x03') == std::string::npos)
            Finding("a packet without ETX");
    } catch (const EConvertError &) {
    } catch (const EUploadError &) {
    }
    return 0;
}
