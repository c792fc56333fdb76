#include "serial/CPortText.h"

#include <array>
#include <string_view>

namespace {

template <size_t N> using TTexts = std::array<std::string_view, N>;

constexpr TTexts<16> BaudRateTexts = {"Custom", "110",    "300",    "600",   "1200",  "2400",
                                      "4800",   "9600",   "14400",  "19200", "38400", "56000",
                                      "57600",  "115200", "128000", "256000"};
constexpr TTexts<3> StopBitsTexts = {"1", "1.5", "2"};
constexpr TTexts<4> DataBitsTexts = {"5", "6", "7", "8"};
constexpr TTexts<5> ParityTexts = {"None", "Odd", "Even", "Mark", "Space"};
constexpr TTexts<4> FlowControlTexts = {"Hardware", "Software", "None", "Custom"};

// Only ASCII letters change case, as in the setup dialog's texts.
bool SameText(std::string_view a, std::string_view b) {
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

template <typename E, size_t N> std::string ToText(const TTexts<N> &texts, E value) {
    const auto index = static_cast<size_t>(value);
    return index < N ? std::string(texts[index]) : std::string();
}

template <typename E, size_t N>
E FromText(const TTexts<N> &texts, const std::string &text, E fallback) {
    for (size_t i = 0; i < N; ++i)
        if (SameText(texts[i], text))
            return static_cast<E>(i);
    return fallback;
}

} // namespace

std::string BaudRateToStr(TBaudRate value) {
    return ToText(BaudRateTexts, value);
}
TBaudRate StrToBaudRate(const std::string &text) {
    return FromText(BaudRateTexts, text, br9600);
}

std::string StopBitsToStr(TStopBits value) {
    return ToText(StopBitsTexts, value);
}
TStopBits StrToStopBits(const std::string &text) {
    return FromText(StopBitsTexts, text, sbOneStopBit);
}

std::string DataBitsToStr(TDataBits value) {
    return ToText(DataBitsTexts, value);
}
TDataBits StrToDataBits(const std::string &text) {
    return FromText(DataBitsTexts, text, dbEight);
}

std::string ParityToStr(TParityBits value) {
    return ToText(ParityTexts, value);
}
TParityBits StrToParity(const std::string &text) {
    return FromText(ParityTexts, text, prNone);
}

std::string FlowControlToStr(TFlowControl value) {
    return ToText(FlowControlTexts, value);
}
TFlowControl StrToFlowControl(const std::string &text) {
    return FromText(FlowControlTexts, text, fcCustom);
}
