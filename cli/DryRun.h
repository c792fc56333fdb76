#pragma once

#include <cstdio>
#include <string>

// Reads and checks the whole import file as an upload would, without a port: the root tag,
// every line's kind and every number. Prints each line's number, kind and the bytes the
// clock would receive, in hex, to out; the first error, with its line number, to err.
// Returns the exit status: 0, or 1 at the first bad line.
int RunDryRun(const std::string &fileName, std::FILE *out, std::FILE *err);
