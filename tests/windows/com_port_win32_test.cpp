// The Win32 backend where no port is needed: opening a name the machine
// does not have fails with the system's own number and words.
#include <gtest/gtest.h>

#include "serial/com_error.h"
#include "serial/com_port.h"

namespace kv9 {
namespace {

TEST(Win32ComPort, OpeningAMissingPortRaisesCodeOneWithTheSystemsNumberAndText) {
  TComPort port;
  port.SetPort("COM231");
  try {
    port.Open();
    ADD_FAILURE() << "COM231 opened";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, 1);
    EXPECT_EQ(e.WinCode, 2);  // ERROR_FILE_NOT_FOUND
    EXPECT_STREQ(e.what(), "Unable to open com port (Error: 2)");
    EXPECT_FALSE(e.SystemText.empty());
    EXPECT_EQ(e.SystemText.find('\n'), std::string::npos);
  }
  EXPECT_FALSE(port.Connected());
}

}  // namespace
}  // namespace kv9
