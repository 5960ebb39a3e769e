#include "boot/id_code_table.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(IdCodeTable, ThirtyThreePrintableCharacters) {
  ASSERT_EQ(std::strlen(kv9::IdCodeTable), 33u);
  for (int i = 0; i < 33; ++i) {
    EXPECT_GE(kv9::IdCodeTable[i], 0x20) << i;
    EXPECT_LE(kv9::IdCodeTable[i], 0x7E) << i;
  }
}

TEST(IdCodeTable, PiecesAreTheTwoHalves) {
  auto a = kv9::IdCodePiece(true);
  auto b = kv9::IdCodePiece(false);
  EXPECT_EQ(0, std::memcmp(a.data(), kv9::IdCodeTable, 16));
  EXPECT_EQ(0, std::memcmp(b.data(), kv9::IdCodeTable + 16, 16));
  EXPECT_NE(a, b);
}

}  // namespace
