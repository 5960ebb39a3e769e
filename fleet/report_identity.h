#pragma once
// What a report object says besides the run's own facts (its "schema" 2
// members): which run it is, which program and version ran it, on which
// machine and station, when it started and ended, and which firmware it
// programmed, by content. Pure apart from IdentifyImage, which only reads
// the buffer and the file name.
#include <cstdint>
#include <string>

#include "image/image_buffer.h"

namespace kv9::fleet {

constexpr int kReportSchema = 2;

struct ImageIdentity {
  std::string source;  // the file's absolute path, or "built-in"
  std::string sha256;  // of the CRC area as the update leaves it; "" unknown
  std::int32_t crc = -1;  // CRC-16 of that area, -1 unknown
  std::string version;    // the version text the image carries, "" none
};

struct ReportIdentity {
  std::string runId;
  std::string program = "kv9flash";
  std::string version;  // the program's
  std::string host;
  std::string station;  // "" for a run outside a station: no member
  std::string start, end;
  ImageIdentity image;
};

// `"schema":2,"run_id":"...",...,"image":{...}` without braces or a
// leading comma: the members to add to a report object.
std::string IdentityMembers(const ReportIdentity& identity);

// The file's absolute path, "built-in" for "".
std::string ImageSource(const std::string& file);

// The image as loaded from `file` ("" for the image the tool carries).
ImageIdentity IdentifyImage(ImageBuffer& image, const std::string& file);

// A run's identity as far as it is known when the run starts: a new run id,
// kv9flash and its version, this machine, the start time now.
ReportIdentity StartIdentity(const std::string& station);

}  // namespace kv9::fleet
