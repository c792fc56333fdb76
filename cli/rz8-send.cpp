// rz8-send: the window's upload from a terminal or a script, with the same transfer.

#include "cli/DryRun.h"
#include "cli/SendOptions.h"
#include "cli/SendUpload.h"

#include <QCoreApplication>
#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    TSendCommandLine cl;
    try {
        cl = ParseSendCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "rz8-send: %s\n\n%s", error.what(), SendUsage);
        return 2;
    }
    switch (cl.Command) {
    case TSendCommandLine::Send:
        return RunSend(cl);
    case TSendCommandLine::DryRun:
        return RunDryRun(cl.File, stdout, stderr);
    case TSendCommandLine::ListPorts:
        return ListPorts(stdout);
    case TSendCommandLine::Help:
        break;
    }
    std::fputs(SendUsage, stdout);
    return 0;
}
