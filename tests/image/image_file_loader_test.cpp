// Choosing the loader by the file's extension, and files that cannot be
// read: neither may touch the image in the buffer.
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "image/text_file_lines.h"
#include "loader_fixture.h"

namespace kv9::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class ImageFileLoader : public LoaderTest {
 protected:
  void SetUp() override {
    LoadEmbedded();
    before_ = Buffer();
  }
  // The buffer, the flag and the log are as before; returns the messages.
  void ExpectNothingChanged() {
    EXPECT_EQ(Buffer(), before_);
    EXPECT_EQ(cont_.ImageLoaded, 1);
    EXPECT_TRUE(pane_.lines.empty());
  }
  Bytes before_;
};

// A record at 0x0000 tells the loaders apart: Intel HEX refuses it and
// zeroes the buffer; as S-records the line is no record at all, so the file
// holds no data.
const std::vector<std::string> kZeroRecord = {":0100000001FE"};

TEST_F(ImageFileLoader, ExtensionChoosesTheLoaderInAnyLetterCase) {
  for (const char* name : {"image.hex", "IMAGE.HEX", "image.Hex", "v1.2.hex"}) {
    SCOPED_TRACE(name);
    TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
    EXPECT_EQ(cont.LoadImageFile(WriteLines(name, kZeroRecord)), 0);
    EXPECT_EQ(cont.ImageStream.Memory()[0], 0x00);
  }
  for (const char* name : {"image.mot", "IMAGE.MOT", "image.Mot"}) {
    SCOPED_TRACE(name);
    TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
    ui_.messages.clear();
    EXPECT_EQ(cont.LoadImageFile(WriteLines(name, kZeroRecord)), 0);
    EXPECT_EQ(cont.ImageStream.Memory()[0], 0xFF);
    EXPECT_EQ(ui_.messages, std::vector<std::string>{"ファイルに書き込むデータがありません。ファイルを確認してください。"});
  }
}

TEST_F(ImageFileLoader, OtherExtensionsAreRefusedWithoutATrace) {
  std::filesystem::create_directory(dir_ / "d.hex");
  for (std::string name : {"image.s19", "image.srec", "image", "image.hex.txt", "d.hex/image", "image.hex "}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(cont_.LoadImageFile(WriteLines(name, kZeroRecord)), 0);
    EXPECT_TRUE(ui_.messages.empty());
    ExpectNothingChanged();
  }
  // Refused by name alone: a missing file with such a name shows nothing either.
  EXPECT_EQ(cont_.LoadImageFile((dir_ / "missing.s19").string()), 0);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ImageFileLoader, UnreadableFilesShowAMessageAndChangeNothing) {
  std::filesystem::create_directory(dir_ / "folder.mot");
  const std::string fifo = (dir_ / "pipe.hex").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string big = WriteLines("big.mot", {SRecordText(3, 0xFFFC0000, {1})});
  std::filesystem::resize_file(big, kMaxImageFileSize + 1);  // sparse: costs no disk

  const std::pair<std::string, std::string> rows[] = {
      {(dir_ / "missing.hex").string(), "No such file or directory"},
      {(dir_ / "folder.mot").string(), "Is a directory"},
      {fifo, "not a regular file"},
      {big, "File too large"},
  };
  for (const auto& [path, reason] : rows) {
    SCOPED_TRACE(path);
    ui_.messages.clear();
    EXPECT_EQ(cont_.LoadImageFile(path), 0);
    EXPECT_EQ(ui_.messages, std::vector<std::string>{"ファイルを読み込めません: " + path + " (" + reason + ")"});
    ExpectNothingChanged();
  }
}

TEST_F(ImageFileLoader, FileWithoutReadPermissionShowsAMessageAndChangesNothing) {
  const std::string path = WriteLines("locked.mot", {SRecordText(3, 0xFFFC0000, {1})});
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  // Root reads files whatever their mode: check the file as an ordinary user
  // would open it (a file-system uid other than 0 drops root's file rights
  // for this thread only).
  const bool asRoot = ::geteuid() == 0;
  if (asRoot) ::setfsuid(65534);
  const int loaded = cont_.LoadImageFile(path);
  if (asRoot) ::setfsuid(0);
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(ui_.messages, std::vector<std::string>{"ファイルを読み込めません: " + path + " (Permission denied)"});
  ExpectNothingChanged();
}

}  // namespace
}  // namespace kv9::test
