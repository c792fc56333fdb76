#pragma once

#include "cli/SendOptions.h"

#include <cstdio>

// The window's upload from a terminal: the same transfer, with progress on standard output
// and errors on standard error. Returns the exit status: 0 when the clock acknowledged every
// line, 1 on an error, 130 after Ctrl-C.
int RunSend(const TSendCommandLine &cl);

// Prints the port list entries discovery finds to out, the USB timer adapter marked.
// Returns the exit status.
int ListPorts(std::FILE *out);
