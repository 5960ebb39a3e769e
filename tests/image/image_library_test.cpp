// The image library on its own, with no controller: every log line and box
// a load calls for comes back in its result, in the order the front end
// must show them, and the buffer says whether and why the load failed.
#include "image/image_buffer.h"
#include "image/image_file_loader.h"
#include "image/loader_texts.h"
#include "loader_fixture.h"
#include "wire/crc16.h"

namespace kv9::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = ImageNotice::Kind;

class ImageLibrary : public LoaderTest {};

TEST_F(ImageLibrary, ResultsListWhatToShowInOrder) {
  const Bytes zeros(245760, 0x00);
  // 16 bytes below the loader area and 16 in it, which are never programmed.
  const Bytes data = RandomBytes(16, 7);
  Bytes erased(245760, 0xFF);
  std::copy(data.begin(), data.end(), erased.end() - 16);
  const std::string missing = (dir_ / "missing.mot").string();
  const std::string unreadable =
      "ファイルを読み込めません: " + missing + " (No such file or directory)";

  struct Row {
    std::string file;
    bool ok;
    std::vector<ImageNotice> notices;
    std::string problem;
  };
  const Row rows[] = {
      {WriteLines("range.hex", {":0100000001FE", ":00000001FF"}),
       false,
       {{Kind::MessageBox, kOutOfRangeMessage},
        {Kind::DebugLine, CrcText(Crc16(zeros.data(), zeros.size()))}},
       kOutOfRangeMessage},
      {WriteLines("tail.mot", {SRecordText(3, 0xFFFFBFF0, data), SRecordText(3, 0xFFFFC000, data),
                               "S70500000000FA"}),
       true,
       {{Kind::DebugLine, LoadSummaryLine(32)},
        {Kind::ForcedLine, UnprogrammedDataLine(16)},
        {Kind::DebugLine, CrcText(Crc16(erased.data(), erased.size()))}},
       ""},
      {missing, false, {{Kind::MessageBox, unreadable}}, unreadable},
      {WriteLines("image.s19", {SRecordText(3, 0xFFFC0000, data), "S70500000000FA"}),
       false,
       {},
       kUnknownExtensionText},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    ImageBuffer image;
    image.SetArea(0xFFFC0000);
    image.Reset();
    const ImageLoadResult result = LoadImageByExtension(image, row.file);
    EXPECT_EQ(result.ok, row.ok);
    EXPECT_EQ(result.notices, row.notices);
    EXPECT_EQ(result.problem, row.problem);
    EXPECT_EQ(image.loadProblem, row.problem);
    EXPECT_EQ(image.loaded, row.ok ? 1 : 0);
  }
}

}  // namespace
}  // namespace kv9::test
