#include "cli/FetchOptions.h"

#include <charconv>
#include <stdexcept>

const char *const FetchUsage =
    R"(Bruk: rz8-fetch capture PORT [--log FIL] [--silence SEKUNDER]
      rz8-fetch decode [LOGG] [--table tklasse|ttider]
Henter postene som en RZ7/RZ8-klokke har lagret, slik programvinduets henting gjør.

  capture PORT       åpner PORT (ttyS0, ttyUSB0 eller en sti), svarer klokken og skriver
                     hver byte den sender til loggen; slutter ved Ctrl-C, eller når klokken
                     har vært stille i --silence sekunder (standard 10; 0: aldri)
  --log FIL          loggen (standard /tmp/rz8.log)
  decode [LOGG]      leser en logg (standard /tmp/rz8.log) og skriver tklasse, så ttider,
                     som CSV
  --table NAVN       skriver bare den tabellen
  --help             denne teksten

Avslutningsstatus: 0 ferdig, 1 en feil (meldingen på standard feil), 2 feil bruk.
)";

namespace {

int Seconds(const std::string &text) {
    int value = 0;
    const auto [end, err] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (err != std::errc() || end != text.data() + text.size() || value < 0)
        throw std::invalid_argument("--silence vil ha et helt antall sekunder, ikke '" + text +
                                    "'");
    return value;
}

} // namespace

TFetchCommandLine ParseFetchCommandLine(const std::vector<std::string> &args) {
    TFetchCommandLine cl;
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        const auto value = [&]() -> const std::string & {
            if (++i >= args.size())
                throw std::invalid_argument(arg + " mangler verdi");
            return args[i];
        };
        if (arg == "--help" || arg == "-h")
            return cl;
        if (arg == "--log")
            cl.LogPath = value();
        else if (arg == "--silence")
            cl.SilenceSeconds = Seconds(value());
        else if (arg == "--table")
            cl.Table = value();
        else if (arg.rfind("--", 0) == 0)
            throw std::invalid_argument("ukjent valg " + arg);
        else
            operands.push_back(arg);
    }
    if (operands.empty())
        throw std::invalid_argument("skriv capture eller decode");
    const std::string command = operands[0];
    if (command == "capture") {
        if (operands.size() != 2)
            throw std::invalid_argument("capture vil ha én PORT");
        if (!cl.Table.empty())
            throw std::invalid_argument("--table hører til decode");
        cl.Command = TFetchCommandLine::Capture;
        cl.Port = operands[1];
    } else if (command == "decode") {
        if (operands.size() > 2)
            throw std::invalid_argument("decode vil ha høyst én LOGG");
        if (!cl.Table.empty() && cl.Table != "tklasse" && cl.Table != "ttider")
            throw std::invalid_argument("--table vil ha tklasse eller ttider, ikke '" + cl.Table +
                                        "'");
        cl.Command = TFetchCommandLine::Decode;
        if (operands.size() == 2)
            cl.LogPath = operands[1];
    } else {
        throw std::invalid_argument("ukjent kommando " + command);
    }
    return cl;
}
