#include "fleet/report_identity.h"

#include <cstdio>
#include <filesystem>

#include "fleet/clock_text.h"
#include "fleet/host_name.h"
#include "fleet/json_text.h"
#include "fleet/run_id.h"
#include "image/image_digest.h"
#include "image/version_text.h"
#include "kv9_version.h"

namespace kv9::fleet {
namespace {

std::string OrNull(const std::string& text) { return text.empty() ? "null" : JsonText(text); }

std::string CrcOrNull(std::int32_t crc) {
  if (crc < 0) return "null";
  char text[16];
  std::snprintf(text, sizeof text, "\"0x%04X\"", static_cast<unsigned>(crc));
  return text;
}

}  // namespace

std::string IdentityMembers(const ReportIdentity& id) {
  std::string json = "\"schema\":" + std::to_string(kReportSchema);
  json += ",\"run_id\":" + JsonText(id.runId);
  json += ",\"tool\":{\"program\":" + JsonText(id.program) + ",\"version\":" + JsonText(id.version) + "}";
  json += ",\"host\":" + OrNull(id.host);
  if (!id.station.empty()) json += ",\"station\":" + JsonText(id.station);
  json += ",\"start\":" + OrNull(id.start) + ",\"end\":" + OrNull(id.end);
  const ImageIdentity& image = id.image;
  json += ",\"image\":{\"source\":" + OrNull(image.source) + ",\"sha256\":" + OrNull(image.sha256) +
          ",\"crc\":" + CrcOrNull(image.crc) + ",\"version\":" + OrNull(image.version) + "}";
  return json;
}

std::string ImageSource(const std::string& file) {
  if (file.empty()) return "built-in";
  std::error_code ec;
  const std::string path = std::filesystem::absolute(file, ec).lexically_normal().string();
  return ec ? file : path;
}

ImageIdentity IdentifyImage(ImageBuffer& image, const std::string& file) {
  ImageIdentity identity;
  identity.source = ImageSource(file);
  identity.sha256 = CrcAreaSha256(image);
  identity.crc = image.Crc();
  identity.version = ImageVersionText(image);
  return identity;
}

ReportIdentity StartIdentity(const std::string& station) {
  ReportIdentity identity;
  identity.runId = NewRunId();
  identity.version = KV9_PRODUCT_VERSION;
  identity.host = HostName();
  identity.station = station;
  identity.start = IsoTimeNow();
  return identity;
}

}  // namespace kv9::fleet
