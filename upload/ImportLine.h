#pragma once

#include <string>

// Cuts the first comma-separated field off `line` (a leading double quote
// makes a quoted field). `field` is untrimmed; `line` keeps the rest.
void strseparer(std::string &line, std::string &field);

// `value` as a big-endian byte string in the fewest bytes, "-" in front when
// negative. Magnitudes above 2^24 - 1 have no encoding: EConvertError.
void IntToAscii(int value, std::string &result);

// The packet for one import line; `rest` is the line after its tag.
// Raises EConvertError on a data field that is not an integer.
std::string lagpakke(bool record, std::string rest);

// Reads a trimmed field as a signed 32-bit integer: decimal, or hexadecimal
// after "$", "x", "X", "0x", "0X". Raises EConvertError otherwise.
int StrToInt(const std::string &text);

// Removes bytes 0 to 32 from both ends.
std::string Trim(const std::string &text);

enum class TLineKind { Section, Record, Closing, Plain };

// The kind of an import line, by its first field.
TLineKind LineKindOf(const std::string &tag);

// What goes to the clock for one import line, in the order the transfer writes it.
struct TWireLine {
    TLineKind Kind = TLineKind::Plain; // by the line's first field; Plain for an empty line
    std::string Lead;   // written by itself before the packet: the closing line's CAN
    std::string Packet; // empty for an empty or section line: nothing is sent
};

// Raises EConvertError as lagpakke does.
TWireLine WireLine(std::string line);
