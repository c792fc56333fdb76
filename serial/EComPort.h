#pragma once

#include <stdexcept>
#include <string>

// Error raised by every failing port operation; the message is the fixed text of its code,
// with the system error and, for some, advice on a second line.
class EComPort : public std::runtime_error {
public:
    explicit EComPort(int code, int winErrorCode = -1);
    // With advice for the user on a line of its own after the fixed text, when not empty.
    EComPort(int code, int winErrorCode, const std::string &advice);

    int Code() const { return FCode; }
    // The operating-system error number (errno here), -1 when none is attached.
    int WinErrorCode() const { return FWinErrorCode; }

    static const char *Text(int code);

private:
    int FCode;
    int FWinErrorCode;
};

// Codes used by the component.
enum : int {
    CError_OpenFailed = 1,
    CError_WriteFailed = 2,
    CError_ReadFailed = 3,
    CError_PurgeFailed = 5,
    CError_SetStateFailed = 7,
    CError_SetTimeoutsFailed = 8,
    CError_SetupComFailed = 9,
    CError_ClearComFailed = 10,
    CError_ModemStatFailed = 11,
    CError_ConnChangeProp = 14,
    CError_RegFailed = 18,
    CError_LedStateFailed = 19,
    CError_RegError = 23
};
