#pragma once

#include "serial/CPortTypes.h"

#include <string>

// Text forms of the settings the setup dialog lists. Text to value ignores letter case;
// an unknown text gives a fixed fallback value.

std::string BaudRateToStr(TBaudRate value);
TBaudRate StrToBaudRate(const std::string &text); // fallback br9600

std::string StopBitsToStr(TStopBits value);
TStopBits StrToStopBits(const std::string &text); // fallback sbOneStopBit

std::string DataBitsToStr(TDataBits value);
TDataBits StrToDataBits(const std::string &text); // fallback dbEight

std::string ParityToStr(TParityBits value);
TParityBits StrToParity(const std::string &text); // fallback prNone

std::string FlowControlToStr(TFlowControl value);
TFlowControl StrToFlowControl(const std::string &text); // fallback fcCustom
