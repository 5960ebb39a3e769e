#pragma once
// The EComPort a port's Open raises; fails the test when it opens instead.
#include <gtest/gtest.h>

#include "serial/com_port.h"

namespace kv9 {

inline EComPort OpenError(TComPort& port) {
  try {
    port.Open();
  } catch (const EComPort& e) {
    return e;
  }
  ADD_FAILURE() << "Open of " << port.Port() << " did not fail";
  return EComPort(0, 0, "");
}

}  // namespace kv9
