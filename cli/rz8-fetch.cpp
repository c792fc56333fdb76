// rz8-fetch: the window's fetch from a terminal, with the same capture, tables and decoder.

#include "cli/FetchCapture.h"
#include "cli/FetchDecode.h"
#include "cli/FetchOptions.h"

#include <QCoreApplication>
#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    TFetchCommandLine cl;
    try {
        cl = ParseFetchCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "rz8-fetch: %s\n\n%s", error.what(), FetchUsage);
        return 2;
    }
    switch (cl.Command) {
    case TFetchCommandLine::Capture:
        return RunFetchCapture(cl.Port, cl.LogPath, cl.SilenceSeconds);
    case TFetchCommandLine::Decode:
        return RunFetchDecode(cl.LogPath, cl.Table);
    case TFetchCommandLine::Help:
        break;
    }
    std::fputs(FetchUsage, stdout);
    return 0;
}
