#include "upload/Transfer.h"

// Apart from the transfer, so that it can be taken without the port.
namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

std::string PortNameFromList(const std::string &text) {
    std::size_t b = 0;
    while (b < text.size() && IsBlank(text[b]))
        ++b;
    std::size_t e = b;
    while (e < text.size() && !IsBlank(text[e]))
        ++e;
    return text.substr(b, e - b);
}
