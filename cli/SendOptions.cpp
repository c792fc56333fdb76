#include "cli/SendOptions.h"

#include <stdexcept>

const char *const SendUsage =
    R"(Bruk: rz8-send FIL PORT [--trace SPOR]
      rz8-send --dry-run FIL [PORT]
      rz8-send --list-ports
Sender en importfil til en RZ7/RZ8-klokke, slik «Send data» i programvinduet gjør.

  FIL             importfilen
  PORT            porten slik portlisten i vinduet tar den: ttyUSB0, ttyS0 eller en sti
  --trace SPOR    skriver hver byte i begge retninger til filen SPOR, med tid og retning
  --dry-run       leser og sjekker hele filen uten å åpne noen port, og skriver hver
                  pakke i heksadesimal med linjenummer og slag
  --list-ports    skriver portene som finnes; USB-tidtakeradapteren er merket
  --help          denne teksten

Avslutningsstatus: 0 alle linjer kvittert av klokken, 1 en feil (meldingen på standard
feil), 2 feil bruk, 130 avbrutt med Ctrl-C.
)";

TSendCommandLine ParseSendCommandLine(const std::vector<std::string> &args) {
    TSendCommandLine cl;
    cl.Command = TSendCommandLine::Send;
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h") {
            cl.Command = TSendCommandLine::Help;
            return cl;
        }
        if (arg == "--trace") {
            if (++i >= args.size())
                throw std::invalid_argument("--trace mangler verdi");
            cl.TracePath = args[i];
        } else if (arg == "--dry-run") {
            cl.Command = TSendCommandLine::DryRun;
        } else if (arg == "--list-ports") {
            cl.Command = TSendCommandLine::ListPorts;
        } else if (arg.rfind("--", 0) == 0) {
            throw std::invalid_argument("ukjent valg " + arg);
        } else {
            operands.push_back(arg);
        }
    }
    switch (cl.Command) {
    case TSendCommandLine::ListPorts:
        if (!operands.empty() || !cl.TracePath.empty())
            throw std::invalid_argument("--list-ports tar ingen FIL, PORT eller --trace");
        return cl;
    case TSendCommandLine::DryRun:
        // A port is allowed, so --dry-run can be put in front of a send's own command.
        if (operands.empty() || operands.size() > 2)
            throw std::invalid_argument("--dry-run vil ha én FIL");
        if (!cl.TracePath.empty())
            throw std::invalid_argument("--trace hører ikke til --dry-run: ingen port åpnes");
        break;
    default:
        if (operands.size() != 2)
            throw std::invalid_argument("skriv FIL og PORT");
        cl.Port = operands[1];
        break;
    }
    cl.File = operands[0];
    return cl;
}
