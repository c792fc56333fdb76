#pragma once

#include <string>

// rz8-fetch decode: decodes the log as the window does and prints tklasse, then ttider (or
// only `table`), as CSV on standard output. Returns the exit status; errors go to standard
// error.
int RunFetchDecode(const std::string &logPath, const std::string &table);
