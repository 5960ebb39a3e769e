#pragma once
// What one image file load has seen so far, kept by the loaders while they
// read the lines and judged once at the end. Pure.
#include <cstddef>
#include <cstdint>
#include <string>

#include "image/record_placement.h"

namespace kv9 {

struct LoadTally {
  bool ok = true;               // no record failed its checks so far
  bool stopped = false;         // a refused record ended the reading
  std::uint32_t byteCount = 0;  // data bytes written into the buffer
  std::uint32_t unprogrammed = 0;  // of those, bytes the update never programs
  std::uint32_t dataRecords = 0;   // S1/S2/S3 records, for an S5/S6 count
  PlacedBytes placed;              // what the records placed so far, to find overlaps
  bool terminated = false;         // the termination (end-of-file) record was read
  // An S5/S6 record matched every data record before it and none followed.
  // srec_cat writes no termination record when the image has no start
  // address, only this count: it proves the file arrived whole just as well.
  bool countedToTheEnd = false;
  bool countMismatch = false;
  std::uint32_t countAnnounced = 0;
  std::uint32_t countFound = 0;
  std::size_t firstTruncatedLine = 0;  // 1-based; 0 none
  std::size_t firstChecksumLine = 0;   // 1-based; 0 none

  // A record that failed its checks at line `lineNumber` (1-based).
  void BadRecord(std::size_t lineNumber, bool truncated) {
    ok = false;
    std::size_t& first = truncated ? firstTruncatedLine : firstChecksumLine;
    if (first == 0) first = lineNumber;
  }
};

}  // namespace kv9
