#pragma once

#include <exception>
#include <functional>

// Where errors of window-delivered port events go (the application points it at its error
// display). An empty handler restores the default, a warning on the log.
using TComErrorHandler = std::function<void(const std::exception &)>;

void SetComErrorHandler(TComErrorHandler handler);
void ShowComError(const std::exception &error);
