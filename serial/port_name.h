#pragma once
// Port names are "COM" followed by a decimal number on every platform. This
// is the one reader of that number: the port table, the command line, the
// search and the port menu all go through it, so a name means the same port
// everywhere.
#include <optional>
#include <stdexcept>
#include <string>

namespace kv9 {

// The number n of a name "COM<n>" (letters in any case, n a decimal number
// from 1 to 255 without leading zeros), or nothing for any other text.
std::optional<int> ComPortNumber(const std::string& name);

// The toolkit's conversion error, with its message text.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text as a decimal integer (optional sign, digits, blanks around).
// Raises EConvertError "'<text>' is not a valid integer value" otherwise.
int StrToInt(const std::string& text);

// ComPortNumber for callers that report a bad name through the toolkit's
// conversion error: "COM12" gives 12; any name ComPortNumber refuses raises
// EConvertError "'<text after COM>' is not a valid integer value" ("COMx"
// names 'x'), so a name like "COM256" or "COM-1" can never wrap round to
// another port.
int ComNumberOf(const std::string& portName);

}  // namespace kv9
