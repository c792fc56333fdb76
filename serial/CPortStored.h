#pragma once

class TCustomComPort;

// The settings the upload port of the main window carries in its definition.
void SetStoredSettings(TCustomComPort &port);
// The settings of the capture port: the same line, on ttyS0, the counterpart of COM1.
void SetCaptureStoredSettings(TCustomComPort &port);
