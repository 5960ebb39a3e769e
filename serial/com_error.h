#pragma once
// EComPort, the one error the serial port component raises. Every failure
// goes through MakeComError so each carries the same three facts: the
// component's code, the platform's error number (-1 when none) and the text.
#include <stdexcept>
#include <string>
#include <utility>

namespace kv9 {

enum ComErrorCode : int {
  CError_OpenFailed = 1,
  CError_WriteFailed = 2,
  CError_ReadFailed = 3,
  CError_SetStateFailed = 7,
  CError_TimeoutsFailed = 8,
  CError_SetupComFailed = 9,
  CError_ClearComFailed = 10,
  CError_ModemStatFailed = 11,
  CError_EscapeComFailed = 12,
  CError_PortNotOpen = 24,
};

class EComPort : public std::runtime_error {
 public:
  EComPort(int code, int winCode, const std::string& message, std::string holder = {})
      : std::runtime_error(message), Code(code), WinCode(winCode), Holder(std::move(holder)) {}
  int Code;
  int WinCode;  // the platform's error number; -1 when none applies
  // For a port in use: who holds it, "<process name> (PID <n>)", as far as
  // the system tells; empty when unknown or not a busy port.
  std::string Holder;
};

// The table text of a code ("Unable to open com port", ...).
const char* ComErrorText(int code);

// Builds the error: the table text, followed by " (Error: N)" when the
// platform supplied a number N > 0. Code 24 never carries a number.
EComPort MakeComError(int code, int platformError = -1, std::string holder = {});

}  // namespace kv9
