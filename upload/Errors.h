#pragma once

#include <stdexcept>
#include <string>

// A text that does not read as an integer, or a value the clock cannot take.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string &message) : std::runtime_error(message) {}
};

// A failing text-file operation; the message is the runtime's text for the code.
class EInOutError : public std::runtime_error {
public:
    EInOutError(int code, const std::string &message) : std::runtime_error(message), Code(code) {}
    int Code;
};

// Raises EInOutError for an errno value, mapped onto the runtime's codes.
[[noreturn]] void RaiseInOutError(int err);
