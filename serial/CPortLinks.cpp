#include "serial/CPort.h"

#include <algorithm>

void TCustomComPort::AttachLink(TComLink *link) {
    if (!link || std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end())
        throw EComPort(CError_RegFailed);
    FLinks.push_back(link);
    UpdateLinkFlags();
}

void TCustomComPort::DetachLink(TComLink *link) {
    const auto found = std::find(FLinks.begin(), FLinks.end(), link);
    if (!link || found == FLinks.end())
        throw EComPort(CError_RegFailed);
    FLinks.erase(found);
    UpdateLinkFlags();
}

void TCustomComPort::UpdateLinkFlags() {
    FHasLink_OnRxBuf = std::any_of(FLinks.begin(), FLinks.end(),
                                   [](const TComLink *link) { return bool(link->OnRxBuf); });
}
