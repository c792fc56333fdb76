#include "upload/ImportLine.h"

#include "upload/Errors.h"
#include "upload/Protocol.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

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
std::optional<std::uint64_t> ReadDigits(std::string_view digits, int base, std::uint64_t limit) {
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

std::optional<int> ReadInteger(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    int base = 10;
    const std::string_view body = s.substr(i);
    if (body.starts_with('$') || body.starts_with('x') || body.starts_with('X')) {
        base = 16;
        i += 1;
    } else if (body.starts_with("0x") || body.starts_with("0X")) {
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

std::string_view TrimView(std::string_view text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

// strseparer on a view: the field starting at `pos`, and `pos` moved past it and its
// separator. The line is never copied, so a whole line costs its length.
std::string_view CutField(std::string_view line, std::size_t &pos) {
    if (pos < line.size() && line[pos] == '"') {
        const std::size_t start = pos + 1;
        const auto close = line.find('"', start);
        if (close == std::string_view::npos) {
            pos = start;
            return {};
        }
        pos = std::min(close + 2, line.size());
        return line.substr(start, close - start);
    }
    const auto comma = line.find(',', pos);
    if (comma == std::string_view::npos) {
        const std::string_view field = line.substr(pos);
        pos = line.size();
        return field;
    }
    const std::string_view field = line.substr(pos, comma - pos);
    pos = comma + 1;
    return field;
}

// Longer fields are cut in the message. A 32-bit value in any of its written forms, with a
// sign and a prefix, is well under this, so every field meant as a number shows whole.
constexpr std::size_t QuotedFieldMax = 40;

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

bool IsUtf8Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n;
        if (c < 0x80)
            n = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            n = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            n = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3;
        else
            return false;
        if (text.size() - i <= n)
            return false;
        for (std::size_t k = 1; k <= n; ++k)
            if (!IsUtf8Continuation(static_cast<unsigned char>(text[i + k])))
                return false;
        i += n + 1;
    }
    return true;
}

// The field as the message shows it: control bytes as \xNN, so a NUL neither ends the text
// nor hides, and the message stays one line; a long field cut to its first bytes and "…".
std::string QuotedField(std::string_view field) {
    std::string_view kept = field;
    bool cut = false;
    if (kept.size() > QuotedFieldMax) {
        std::size_t n = QuotedFieldMax;
        // Cut on a character boundary, so a UTF-8 field is not shown as Latin-1.
        for (int back = 0;
             back < 3 && n > 0 && IsUtf8Continuation(static_cast<unsigned char>(kept[n])); ++back)
            --n;
        kept = kept.substr(0, n);
        cut = true;
    }
    std::string out;
    out.reserve(kept.size() + 8);
    for (char ch : kept) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsControl(c)) {
            static constexpr char Hex[] = "0123456789abcdef";
            out += "\\x";
            out += Hex[c >> 4];
            out += Hex[c & 0xF];
        } else {
            out += ch;
        }
    }
    if (cut) {
        // The window shows a message that is not UTF-8 as Latin-1, where "…" would not read.
        out += IsValidUtf8(kept) ? "\xE2\x80\xA6" : "...";
    }
    return out;
}

int StrToIntView(std::string_view text) {
    const auto v = ReadInteger(text);
    if (!v)
        throw EConvertError("'" + QuotedField(text) + "' is not a valid integer value");
    return *v;
}

std::string Packet(bool record, std::string_view rest) {
    std::string packet;
    // The clock leaves the first value out of its sum; 64 bits keep long lines defined.
    std::int64_t sum = 0;
    bool firstSeen = false;
    if (record)
        packet += STX;
    std::string bytes;
    std::size_t pos = 0;
    for (;;) {
        const std::string_view field = CutField(rest, pos);
        if (field.empty() || field.front() == '<')
            break;
        const int v = StrToIntView(TrimView(field));
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

} // namespace

void strseparer(std::string &line, std::string &field) {
    std::size_t pos = 0;
    field = CutField(line, pos);
    line.erase(0, pos);
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
    return std::string(TrimView(text));
}

int StrToInt(const std::string &text) {
    return StrToIntView(text);
}

std::string lagpakke(bool record, std::string rest) {
    return Packet(record, rest);
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
    std::size_t pos = 0;
    const std::string_view tag = CutField(line, pos);
    wire.Kind = LineKindOf(std::string(tag));
    if (wire.Kind == TLineKind::Section)
        return wire;
    if (wire.Kind == TLineKind::Closing)
        IntToAscii(CAN, wire.Lead);
    wire.Packet = Packet(wire.Kind == TLineKind::Record, std::string_view(line).substr(pos));
    return wire;
}
