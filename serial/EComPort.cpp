#include "serial/EComPort.h"

#include <string>

namespace {

const char *const ErrorTexts[] = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

std::string Message(int code, int winErrorCode) {
    std::string text = EComPort::Text(code);
    if (winErrorCode != -1)
        text += " (win error code: " + std::to_string(winErrorCode) + ")";
    return text;
}

} // namespace

EComPort::EComPort(int code, int winErrorCode)
    : std::runtime_error(Message(code, winErrorCode)), FCode(code), FWinErrorCode(winErrorCode) {}

EComPort::EComPort(int code, int winErrorCode, const std::string &advice)
    : std::runtime_error(advice.empty() ? Message(code, winErrorCode)
                                        : Message(code, winErrorCode) + "\n" + advice),
      FCode(code), FWinErrorCode(winErrorCode) {}

const char *EComPort::Text(int code) {
    constexpr int count = sizeof(ErrorTexts) / sizeof(ErrorTexts[0]);
    return code >= 1 && code <= count ? ErrorTexts[code - 1] : "";
}
