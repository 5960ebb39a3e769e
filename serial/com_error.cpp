#include "serial/com_error.h"

namespace kv9 {

const char* ComErrorText(int code) {
  switch (code) {
    case CError_OpenFailed: return "Unable to open com port";
    case CError_WriteFailed: return "WriteFile function failed";
    case CError_ReadFailed: return "ReadFile function failed";
    case CError_SetStateFailed: return "SetCommState function failed";
    case CError_TimeoutsFailed: return "SetCommTimeouts failed";
    case CError_SetupComFailed: return "SetupComm function failed";
    case CError_ClearComFailed: return "ClearCommError function failed";
    case CError_ModemStatFailed: return "GetCommModemStatus function failed";
    case CError_EscapeComFailed: return "EscapeCommFunction function failed";
    case CError_PortNotOpen: return "Port Not Open";
    default: return "Unknown error";
  }
}

EComPort MakeComError(int code, int platformError, std::string holder) {
  std::string message = ComErrorText(code);
  if (code == CError_PortNotOpen) platformError = -1;
  if (platformError > 0) message += " (Error: " + std::to_string(platformError) + ")";
  return EComPort(code, platformError > 0 ? platformError : -1, message, std::move(holder));
}

}  // namespace kv9
