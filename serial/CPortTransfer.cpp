#include "serial/CPort.h"
#include "serial/CPortThread.h"

#include <cerrno>

int TCustomComPort::WriteString(const std::string &s) {
    if (s.empty())
        return 0;
    // Our own copy: link callbacks may run other handlers that change the caller's string.
    const std::string bytes = s;
    const int written = FDevice.Write(bytes.data(), static_cast<int>(bytes.size()),
                                      [this] { NotifyLinks(&TComLink::OnTx, true); });
    if (FThread)
        FThread->WatchTransmit();
    NotifyLinks(&TComLink::OnTxBuf, bytes.data(), static_cast<int>(bytes.size()));
    return written;
}

int TCustomComPort::ReadString(std::string &s, int Count) {
    if (Count <= 0) {
        s.clear();
        return 0;
    }
    std::string bytes(static_cast<size_t>(Count), '\0');
    bytes.resize(static_cast<size_t>(ReadBuffer(bytes.data(), Count)));
    s = std::move(bytes);
    return static_cast<int>(s.size());
}

int TCustomComPort::ReadBuffer(char *buffer, int count) {
    const int read = FDevice.Read(buffer, count);
    if (InputQueueCount() == 0)
        NotifyLinks(&TComLink::OnRx, false);
    return read;
}

int TCustomComPort::InputQueueCount() {
    return FDevice.InputQueue();
}

TModemSignals TCustomComPort::ModemSignals() {
    return FDevice.ModemSignals();
}

TComErrors TCustomComPort::LineErrors() {
    return FDevice.TakeLineErrors(FParity.Check());
}

void TCustomComPort::AbortTransfers() {
    // Transfers here finish inside WriteString and ReadString, so none is ever pending.
    if (!FDevice.IsOpen())
        throw EComPort(CError_PurgeFailed, EBADF);
}
