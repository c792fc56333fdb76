#include "cli/DryRun.h"

#include "upload/ImportFile.h"
#include "upload/ImportLine.h"
#include "upload/Transfer.h"
#include "upload/WireTrace.h"

#include <filesystem>

namespace {

const char *KindName(const std::string &line, const TWireLine &wire) {
    if (line.empty())
        return "tom";
    switch (wire.Kind) {
    case TLineKind::Section:
        return "avsnitt";
    case TLineKind::Record:
        return "post";
    case TLineKind::Closing:
        return "slutt";
    case TLineKind::Plain:
        break;
    }
    return "tekst";
}

struct TTotals {
    int Lines = 0;
    int Packets = 0;
    long Bytes = 0;
};

void PrintLine(std::FILE *out, int number, const std::string &line, const TWireLine &wire,
               TTotals &totals) {
    ++totals.Lines;
    const char *kind = KindName(line, wire);
    if (wire.Packet.empty()) {
        std::fprintf(out, "linje %4d  %-7s (sendes ikke)\n", number, kind);
        return;
    }
    const std::string bytes = wire.Lead + wire.Packet;
    ++totals.Packets;
    totals.Bytes += long(bytes.size());
    std::fprintf(out, "linje %4d  %-7s %s\n", number, kind, TWireTrace::Hex(bytes).c_str());
}

} // namespace

int RunDryRun(const std::string &fileName, std::FILE *out, std::FILE *err) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName, ec)) {
        std::fprintf(err, "rz8-send: %s\n", NoSuchFile(fileName).c_str());
        return 1;
    }
    TImportFile file;
    try {
        file.Open(fileName);
    } catch (const std::exception &error) {
        std::fprintf(err, "rz8-send: %s\n", error.what());
        return 1;
    }
    TTotals totals;
    int number = HeaderLines;
    try {
        if (!ReadImportHead(file)) {
            std::fprintf(err, "rz8-send: linje 2: %s\n", NotAnImportFile);
            return 1;
        }
        while (!file.Eof()) {
            const std::string line = file.ReadLine();
            ++number;
            PrintLine(out, number, line, WireLine(line), totals);
        }
    } catch (const std::exception &error) {
        std::fprintf(err, "rz8-send: linje %d: %s\n", number, error.what());
        return 1;
    }
    std::fprintf(out, "%d linjer, %d pakker, %ld byte til klokken\n", totals.Lines, totals.Packets,
                 totals.Bytes);
    return 0;
}
