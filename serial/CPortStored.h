#pragma once

class TCustomComPort;

// The settings both ports of the main window carry in its definition.
void SetStoredSettings(TCustomComPort &port);
