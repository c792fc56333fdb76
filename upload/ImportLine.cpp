#include "upload/ImportLine.h"

#include "upload/Errors.h"
#include "upload/Protocol.h"

#include <cstdint>
#include <optional>

namespace {

constexpr int MaxEncodable = (1 << 24) - 1;

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Digits in `base` up to `limit`; nothing on an empty text, a stray byte or overflow.
std::optional<std::uint64_t> ReadDigits(const std::string &digits, int base, std::uint64_t limit) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t v = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0 || d >= base)
            return std::nullopt;
        v = v * base + d;
        if (v > limit)
            return std::nullopt;
    }
    return v;
}

std::optional<int> ReadInteger(const std::string &s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    int base = 10;
    if (s.compare(i, 1, "$") == 0 || s.compare(i, 1, "x") == 0 || s.compare(i, 1, "X") == 0) {
        base = 16;
        i += 1;
    } else if (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0) {
        base = 16;
        i += 2;
    }
    // Hexadecimal takes the full 32 bits as two's complement, as the runtime does.
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
    const auto magnitude = ReadDigits(s.substr(i), base, limit);
    if (!magnitude)
        return std::nullopt;
    const auto bits = static_cast<std::uint32_t>(*magnitude);
    const auto value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
    return value;
}

} // namespace

void strseparer(std::string &line, std::string &field) {
    if (!line.empty() && line.front() == '"') {
        line.erase(0, 1);
        const auto close = line.find('"');
        if (close == std::string::npos) {
            field.clear();
            return;
        }
        field = line.substr(0, close);
        line.erase(0, close + 2 <= line.size() ? close + 2 : line.size());
        return;
    }
    const auto comma = line.find(',');
    if (comma == std::string::npos) {
        field = line;
        line.clear();
        return;
    }
    field = line.substr(0, comma);
    line.erase(0, comma + 1);
}

void IntToAscii(int value, std::string &result) {
    const bool negative = value < 0;
    const std::int64_t m = negative ? -static_cast<std::int64_t>(value) : value;
    if (m > MaxEncodable)
        throw EConvertError("Verdien " + std::to_string(value) +
                            " er for stor for klokken (største tillatte verdi er 16777215)");
    result.assign(1, static_cast<char>(m & 0xFF));
    if (m >= 256)
        result.insert(result.begin(), static_cast<char>((m >> 8) & 0xFF));
    if (m >= 65536)
        result.insert(result.begin(), static_cast<char>((m >> 16) & 0xFF));
    if (negative)
        result.insert(result.begin(), '-');
}

std::string Trim(const std::string &text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

int StrToInt(const std::string &text) {
    const auto v = ReadInteger(text);
    if (!v)
        throw EConvertError("'" + text + "' is not a valid integer value");
    return *v;
}

std::string lagpakke(bool record, std::string rest) {
    std::string packet;
    // The clock leaves the first value out of its sum; 64 bits keep long lines defined.
    std::int64_t sum = 0;
    bool firstSeen = false;
    if (record)
        packet += STX;
    std::string field;
    std::string bytes;
    for (;;) {
        strseparer(rest, field);
        if (field.empty() || field.front() == '<')
            break;
        const int v = StrToInt(Trim(field));
        if (firstSeen)
            sum += v;
        if (sum == 256)
            sum = 0;
        firstSeen = true;
        IntToAscii(v, bytes);
        packet += bytes;
    }
    packet += ETX;
    const int r = static_cast<int>((sum + 3) % 256);
    int c = 256 - r;
    if (c == 256)
        c = 0;
    IntToAscii(c, bytes);
    packet += bytes;
    return packet;
}

TLineKind LineKindOf(const std::string &tag) {
    if (tag == "<classes>" || tag == "<names>" || tag == "</classes>" || tag == "</names>")
        return TLineKind::Section;
    if (tag == "<class>" || tag == "<name>")
        return TLineKind::Record;
    if (tag == "</RZ7>")
        return TLineKind::Closing;
    return TLineKind::Plain;
}

TWireLine WireLine(std::string line) {
    TWireLine wire;
    if (line.empty())
        return wire;
    std::string tag;
    strseparer(line, tag);
    const TLineKind kind = LineKindOf(tag);
    if (kind == TLineKind::Section)
        return wire;
    if (kind == TLineKind::Closing)
        IntToAscii(CAN, wire.Lead);
    wire.Packet = lagpakke(kind == TLineKind::Record, line);
    return wire;
}
