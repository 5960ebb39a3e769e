// The schema-2 members of a report: their exact text, the time with its
// UTC offset, the run id's form, and the image named by its content.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "fleet/clock_text.h"
#include "fleet/report_identity.h"
#include "fleet/run_id.h"
#include "image/image_area.h"

namespace kv9::fleet {
namespace {

TEST(ReportIdentity, MembersInTheirOrderWithNullsForWhatIsUnknownAndNoStationOutsideOne) {
  ReportIdentity id;
  id.runId = "0f8e2a4c-1b3d-4e5f-9a7b-6c5d4e3f2a1b";
  id.version = "1.0.8.4";
  id.host = "bench-pc";
  id.station = "line \"A\"";
  id.start = "2026-12-10T10:00:00+09:00";
  id.end = "2026-12-10T10:00:21+09:00";
  id.image = {"/srv/fw/q508.mot", std::string(64, 'a'), 0xBA50, "V2.00.00"};
  EXPECT_EQ(IdentityMembers(id),
            "\"schema\":2,\"run_id\":\"0f8e2a4c-1b3d-4e5f-9a7b-6c5d4e3f2a1b\","
            "\"tool\":{\"program\":\"kv9flash\",\"version\":\"1.0.8.4\"},\"host\":\"bench-pc\","
            "\"station\":\"line \\\"A\\\"\",\"start\":\"2026-12-10T10:00:00+09:00\",\"end\":\"2026-12-10T10:00:21+09:00\","
            "\"image\":{\"source\":\"/srv/fw/q508.mot\",\"sha256\":\"" + std::string(64, 'a') +
                "\",\"crc\":\"0xBA50\",\"version\":\"V2.00.00\"}");
  ReportIdentity bare;
  bare.runId = "r";
  bare.version = "1";
  EXPECT_EQ(IdentityMembers(bare),
            "\"schema\":2,\"run_id\":\"r\",\"tool\":{\"program\":\"kv9flash\",\"version\":\"1\"},\"host\":null,"
            "\"start\":null,\"end\":null,\"image\":{\"source\":null,\"sha256\":null,\"crc\":null,\"version\":null}");
}

TEST(ReportIdentity, TimesCarryTheirUtcOffsetEastWestAndAtGreenwich) {
  std::tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 10;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 7;
  EXPECT_EQ(IsoTimeText(t, 9 * 3600), "2026-12-10T09:05:07+09:00");
  EXPECT_EQ(IsoTimeText(t, -(3 * 3600 + 30 * 60)), "2026-12-10T09:05:07-03:30");
  EXPECT_EQ(IsoTimeText(t, 0), "2026-12-10T09:05:07+00:00");
  EXPECT_TRUE(std::regex_match(IsoTimeNow(), std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d")));
}

TEST(ReportIdentity, RunIdsAreVersion4UuidsAndNeverRepeat) {
  std::array<std::uint8_t, 16> zero{}, ones{};
  ones.fill(0xFF);
  EXPECT_EQ(RunIdFromBytes(zero), "00000000-0000-4000-8000-000000000000");
  EXPECT_EQ(RunIdFromBytes(ones), "ffffffff-ffff-4fff-bfff-ffffffffffff");
  const std::regex form("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  std::set<std::string> ids;
  for (int i = 0; i < 1000; ++i) {
    const std::string id = NewRunId();
    EXPECT_TRUE(std::regex_match(id, form)) << id;
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 1000u);
}

TEST(ReportIdentity, TheImageIsNamedByItsFileAndItsCrcArea) {
  ImageBuffer image;
  image.SetArea(RomStartFor(11));
  image.Reset();
  // The version text at 0xFFFFBFF0, 16 bytes with their padding.
  const char version[16] = "V3.00.00 ";
  std::copy(version, version + 16, image.bytes.Memory() + 0x3BFF0);
  image.loaded = 1;
  const ImageIdentity id = IdentifyImage(image, "fw/../fw/q.mot");
  EXPECT_EQ(id.source, (std::filesystem::current_path() / "fw" / "q.mot").string());
  EXPECT_EQ(id.version, "V3.00.00");
  EXPECT_EQ(id.crc, image.Crc());
  EXPECT_EQ(id.sha256.size(), 64u);
  EXPECT_EQ(IdentifyImage(image, "").source, "built-in");
  EXPECT_EQ(ImageSource("/abs/x.hex"), "/abs/x.hex");
}

}  // namespace
}  // namespace kv9::fleet
