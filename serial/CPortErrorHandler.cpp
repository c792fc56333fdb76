#include "serial/CPortErrorHandler.h"

#include <QtGlobal>

namespace {

TComErrorHandler &Handler() {
    static TComErrorHandler handler;
    return handler;
}

} // namespace

void SetComErrorHandler(TComErrorHandler handler) {
    Handler() = std::move(handler);
}

void ShowComError(const std::exception &error) {
    if (Handler())
        Handler()(error);
    else
        qWarning("%s", error.what());
}
