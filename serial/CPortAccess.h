#pragma once

#include <string>

// For a port the user may not open (EACCES): the group that owns the device node and how to
// join it, in Norwegian. Empty where joining that group would not help, or nothing is known.
std::string DeniedPortAdvice(const std::string &devicePath);
