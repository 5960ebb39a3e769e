#pragma once
// Port names are "COM" followed by a decimal number; wherever a name must
// become a number again, this reads it.
#include <stdexcept>
#include <string>

namespace kv9 {

// The toolkit's conversion error, with its message text.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text as a decimal integer (optional sign, digits, blanks around).
// Raises EConvertError "'<text>' is not a valid integer value" otherwise.
int StrToInt(const std::string& text);

// The number of a port name: the text from its fourth character on, as a
// decimal integer. "COM12" gives 12; "COMx" raises EConvertError.
int ComNumberOf(const std::string& portName);

}  // namespace kv9
