#include "cli/FetchDecode.h"

#include "cli/Csv.h"
#include "fetch/Decoder.h"
#include "fetch/ResultTables.h"

#include <cstdio>
#include <exception>

int RunFetchDecode(const std::string &logPath, const std::string &table) {
    TMemTable tklasse("tklasse", ClassTableFields());
    TMemTable ttider("ttider", TimesTableFields(), TimesTableKey);
    int32_t passNumber = 0;
    TCaptureDecoder decoder(tklasse, ttider, passNumber, [](const std::string &caption) {
        std::fprintf(stderr, "%s\n", caption.c_str());
    });
    int status = 0;
    try {
        decoder.Start();
        decoder.visdata(logPath);
    } catch (const std::exception &error) {
        // What the lines before the error stored is printed all the same.
        std::fprintf(stderr, "rz8-fetch: %s\n", error.what());
        status = 1;
    }
    std::string out;
    if (table.empty() || table == "tklasse")
        out += TableCsv(tklasse);
    if (table.empty())
        out += "\r\n";
    if (table.empty() || table == "ttider")
        out += TableCsv(ttider);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return status;
}
