// The port name taken from a port list text, and the text forms of the port settings.
#include "FuzzSupport.h"
#include "serial/CPortText.h"
#include "upload/Transfer.h"

#include <cstdint>
#include <string>

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string Upper(std::string text) {
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

// Every value's text reads back as that value, whatever its case; any text reads back as
// a value that has a text.
template <typename E>
void CheckSetting(const std::string &text, int count, std::string (*toStr)(E),
                  E (*fromStr)(const std::string &)) {
    for (int i = 0; i < count; ++i) {
        const E value = static_cast<E>(i);
        const std::string shown = toStr(value);
        if (shown.empty() || fromStr(shown) != value || fromStr(Upper(shown)) != value)
            Finding("a setting's text does not read back as its value");
    }
    const E read = fromStr(text);
    if (int(read) < 0 || int(read) >= count || toStr(read).empty())
        Finding("a text reads as no valid setting");
    if (fromStr(Upper(text)) != read)
        Finding("letter case changes the setting read");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);

    const std::string name = PortNameFromList(text);
    for (char c : name)
        if (IsBlank(c))
            Finding("port name with a blank");
    const size_t at = text.find(name);
    if (at == std::string::npos)
        Finding("port name not in the list text");
    for (size_t i = 0; i < text.size() && !name.empty(); ++i) {
        if (!IsBlank(text[i])) {
            if (text.compare(i, name.size(), name) != 0)
                Finding("port name is not the first word");
            break;
        }
    }
    if (PortNameFromList(name) != name || PortNameFromList(" \t\x01" + text) != name)
        Finding("port name not stable");

    CheckSetting<TBaudRate>(text, br256000 + 1, BaudRateToStr, StrToBaudRate);
    CheckSetting<TStopBits>(text, sbTwoStopBits + 1, StopBitsToStr, StrToStopBits);
    CheckSetting<TDataBits>(text, dbEight + 1, DataBitsToStr, StrToDataBits);
    CheckSetting<TParityBits>(text, prSpace + 1, ParityToStr, StrToParity);
    CheckSetting<TFlowControl>(text, fcCustom + 1, FlowControlToStr, StrToFlowControl);
    return 0;
}
