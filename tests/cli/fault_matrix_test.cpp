// The fault matrix: every fault kv9sim can inject, at each update stage it
// can reach, through kv9flash against the kv9sim program. For each: exit 1,
// the stage's line and the advice for that stage, no success line, the run
// ended on its own (bounded); then a second run recovers the module and its
// flash, read back through kv9sim's dump, equals the embedded image.
//
// Each run writes its report (--report): the module's state and the command
// that continues are checked against the row. Recovery follows that
// command after the power cycle the advice asks for. A power cycle is kv9sim
// started anew on the flash the first one dumped, with no fault: a module
// whose flash holds a whole firmware (the old one untouched, or the new one
// complete) starts that firmware; one with a partly erased or written flash
// stays in boot mode. A power loss restarts the same module in boot mode by
// itself, so that one continues without a new kv9sim.
//
// Whatever the row, the module ends with the EEPROM of a good update: the
// power cycle keeps the EEPROM the first kv9sim dumped (--eeprom), and the
// way on after a broken-off factory restore finishes it from the copy on
// disk.
//
// The matrix is printed as a table. Rows run two at a time; each run is
// bounded by a deadline (a hang is a failure).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "platform/resources.h"
#include "tests/support/child_process.h"
#include "tests/support/port_folder.h"
#include "tests/support/renewed_eeprom_words.h"
#include "wire/unique_fd.h"

extern char** environ;

namespace kv9 {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using test::SplitLines;
using Bytes = std::vector<std::uint8_t>;

constexpr int kRunDeadlineMs = 90000;
constexpr int kSimDeadlineMs = 20000;

const char* const kStageOk[] = {"書込設定   : OK", "ID照合     : OK", "イレース   : OK", "ライト     : OK",
                                "ベリファイ : OK"};
const char* const kStageNg[] = {"書込設定   : NG", "ID照合     : NG", "イレース   : NG", "ライト     : NG",
                                nullptr /* the check's NG is a debug line */};
const char* const kSucceeded = "アップデートが正常に終了しました。";
const char* const kFailed = "アップデートに失敗しました。";
const char* const kAdviceCheckConnection = "R/Wの接続、設定を確認してください。";
const char* const kAdvicePowerCycle = "ソフトを終了し、R/Wの電源を入れ直してください。";
const char* const kAdviceRetry = "再度ソフトを起動し、もう一度書き込みを行ってください。";
const char* const kAdviceRetryReWrite =
    "再度ソフトを起動し、［再書込み行う］にチェックを入れてもう一度書き込みを行ってください。";
// After a verified write: one text, the firmware is in and how the
// settings are finished.
const char* const kAdviceVerifiedThenRestore =
    "ファームウェアの書き込みとチェックは正常に終了しています。もう一度書き込む必要はありません。"
    "R/Wの電源を入れ直し、接続とROMバージョンを確認してから、工場出荷時設定を行ってください。";
const char* const kAdviceFirmwareIn =
    "ファームウェアの書き込みとチェックは正常に終了しています。もう一度書き込む必要はありません。";
const char* const kAdviceEepromBackup = "書き込み前のEEPROMの内容 : ";
// What a broken-off factory-setting step says it left, and the way on.
const char* const kPartlyWritten[] = {
    "EEPROMの書き込みが途中で終わりました。書き込み前のEEPROMの内容はファイルに保存されています。",
    "R/Wの接続を確認し、保存したEEPROMバックアップファイルから工場出荷時設定を続けてください。", nullptr};
const char* const kNotRead[] = {
    "EEPROMを読み出せないため、工場出荷時設定を中止しました。R/Wの設定は変更されていません。",
    "R/Wの接続を確認してから、工場出荷時設定をやり直してください。", nullptr};
const char* const kInitDidNothing[] = {
    "EEPROMの初期化が正常に終わりませんでしたが、R/Wの設定は変更されていません。",
    "R/Wの接続を確認してから、工場出荷時設定をやり直してください。", nullptr};
const char* const kFreshReadsDisagree[] = {
    "初期化後の工場出荷時データを2回読み出した内容が一致しないため、書き込みを中止しました。"
    "EEPROMは初期化されています。書き込み前のEEPROMの内容はファイルに保存されています。",
    "R/Wの接続を確認し、保存したEEPROMバックアップファイルから工場出荷時設定を続けてください。", nullptr};

// The tool programs the image up to the module's resident loader, whose
// 16 KB at the top of the flash stay the module's own.
constexpr std::size_t kProgrammedBytes = 262144 - 16384;

Bytes ProgrammedPart(const Bytes& flash) {
  return Bytes(flash.begin(), flash.begin() + static_cast<std::ptrdiff_t>(std::min(flash.size(), kProgrammedBytes)));
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// kv9sim as a program: started, waited for until its ready line, stopped
// with SIGTERM (it then writes its dump), all against deadlines.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& args) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv{const_cast<char*>(KV9SIM_PATH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, KV9SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = UniqueFd(out[0]);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;
  ~SimProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  // True once the ready line arrived.
  bool WaitReady() {
    std::string text;
    while (text.find('\n') == std::string::npos) {
      if (!ReadSome(&text)) return false;
    }
    return text.find("ready on") != std::string::npos;
  }

  // SIGTERM, then the end of its output (it exits) within the deadline.
  bool Stop() {
    if (pid_ <= 0) return false;
    ::kill(pid_, SIGTERM);
    std::string rest;
    while (ReadSome(&rest)) {
    }
    int status = 0;
    if (!eof_) return false;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  // Reads what the program printed; false at its end or at the deadline.
  bool ReadSome(std::string* into) {
    if (!out_.Valid() || eof_) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{out_.Get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buf[512];
    const ssize_t n = ::read(out_.Get(), buf, sizeof buf);
    if (n <= 0) {
      eof_ = true;
      return false;
    }
    into->append(buf, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  UniqueFd out_;
  bool eof_ = false;
  std::chrono::steady_clock::time_point deadline_ =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kSimDeadlineMs);
};

enum Stage { kHandshake = 0, kIdCheck, kErase, kWrite, kVerify, kRomVersion, kFactoryData };
const char* const kStageNames[] = {"書込設定", "ID照合", "イレース", "ライト", "ベリファイ", "ROM version",
                                   "FLASH DATA"};

struct Row {
  std::vector<std::string> fault;  // kv9sim options
  Stage stage;
  const char* state;               // the report's module_state
  const char* next;                // what continue_with runs after "kv9flash --port COMn"
  const char* stepLine = nullptr;  // a forced line of the failing step before the stage's
  bool stageBegun = true;          // false: the run failed before the stage began (no stage line)
  // FLASH DATA: the lines that say what the step left, and whether the copy
  // on disk was made (and named) before it failed.
  const char* const* restoreLines = nullptr;
  bool backupMade = true;
  bool noEepromWrite = false;  // FLASH DATA: not one EEPROM write reached the module
};

constexpr char kReWrite[] = "--rewrite --speed 19200 update";
constexpr char kUpdate[] = "update";

// Every fault option at each stage of an update it can make fail. The
// boot-mode request is a firmware frame (refused, it ends the run before the
// handshake begins); the stages after it are the boot program's (device
// 0x10, new bit rate 0x3F, state transition 0x40, erase 0x59, programming
// 0x50, loader CRC 0x9F); after the restart the ROM
// version (its second query: discovery made the first), and the factory
// restore: its writes refused, unanswered or with a bit error in the
// acknowledgement, its initialisation unanswered, a read before anything
// changed with a wrong sum, and the fresh factory data after the
// initialisation with a bit error its sum does not see.
const Row kRows[] = {
    // A request the module never took: it still answers in its firmware.
    {{"--no-reply", "fw:4E:9B"}, kHandshake, "untouched", kUpdate},
    {{"--error-reply", "fw:4E:9B=31"}, kHandshake, "untouched", kUpdate, "NG: SetProgMode", false},
    {{"--no-reply", "boot:10"}, kHandshake, "boot mode", kUpdate},
    {{"--error-reply", "boot:10=21"}, kHandshake, "boot mode", kUpdate},
    {{"--no-reply", "boot:3F"}, kHandshake, "boot mode", kUpdate, "NG: 新ビットレート選択"},
    {{"--error-reply", "boot:3F=24"}, kHandshake, "boot mode", kUpdate, "NG: 新ビットレート選択"},
    {{"--no-reply", "boot:40"}, kIdCheck, "boot mode", kUpdate},
    {{"--error-reply", "boot:40=80"}, kIdCheck, "boot mode", kUpdate},
    // The first erase refused: nothing was erased, the old firmware is whole.
    {{"--error-reply", "boot:59/1=51"}, kErase, "boot mode", kUpdate},
    {{"--no-reply", "boot:59/3"}, kErase, "erased", kReWrite},
    {{"--error-reply", "boot:59/3=51"}, kErase, "erased", kReWrite},
    {{"--no-reply", "boot:50/5"}, kWrite, "partly programmed", kReWrite},
    {{"--error-reply", "boot:50/5=53"}, kWrite, "partly programmed", kReWrite},
    {{"--disconnect-at-block", "5"}, kWrite, "partly programmed", kReWrite},
    {{"--power-loss-at-block", "5"}, kWrite, "partly programmed", kReWrite},
    {{"--no-reply", "boot:9F"}, kVerify, "programmed", kUpdate},
    {{"--error-reply", "boot:9F=80"}, kVerify, "programmed", kUpdate},
    {{"--bad-crc"}, kVerify, "programmed", kUpdate},
    {{"--no-reply", "fw:4F:90/2"}, kRomVersion, "checked", "restore"},
    {{"--error-reply", "fw:4E:83=31"}, kFactoryData, "running new firmware", "restore --from", nullptr, true,
     kPartlyWritten},
    {{"--no-reply", "fw:4E:83/3"}, kFactoryData, "running new firmware", "restore --from", nullptr, true,
     kPartlyWritten},
    // The cable pulled in the middle of the writes: plugged in again, the
    // module continues from the copy like any broken-off restore.
    {{"--disconnect", "fw:4E:83/2"}, kFactoryData, "running new firmware", "restore --from", nullptr, true,
     kPartlyWritten},
    {{"--bit-flip", "fw:4E:83/2=2.1"}, kFactoryData, "running new firmware", "restore --from", nullptr, true,
     kPartlyWritten},
    // Every reply to the second read of the factory image spoilt (it is
    // asked three times): nothing was initialised yet, so the
    // factory-setting step alone continues.
    {{"--bad-sum", "fw:4F:83/3", "--bad-sum", "fw:4F:83/4", "--bad-sum", "fw:4F:83/5"},
     kFactoryData,
     "running new firmware",
     "restore",
     nullptr,
     true,
     kNotRead,
     false},
    // The initialisation frame lost: the EEPROM still reads as before, so the
    // step alone continues, and nothing says the write ended half-way.
    {{"--no-reply", "fw:4E:71"}, kFactoryData, "running new firmware", "restore", nullptr, true, kInitDidNothing},
    // The fifth EEPROM read is the first of the fresh factory data: its two
    // reads differ, and the step stops before any write.
    {{"--bit-flip-summed", "fw:4F:83/5=20.2"}, kFactoryData, "running new firmware", "restore --from", nullptr,
     true, kFreshReadsDisagree, true, true},
};

Lines Discovery(unsigned com) {
  return {"ROM Version : V1.00.00 ", "Find KV9 R/W ", "PORT   : " + std::to_string(com), "Speed  : 19200",
          "Module : Q508     "};
}

// The whole stdout of an update that fails at `stage`.
Lines ExpectedFailure(unsigned com, const Row& row) {
  const Stage stage = row.stage;
  Lines l = Discovery(com);
  l.push_back("");
  const int passed = stage <= kVerify ? stage : 5;
  for (int i = 0; i < passed; ++i) l.push_back(kStageOk[i]);
  if (row.stepLine) l.push_back(row.stepLine);
  if (stage < kVerify && row.stageBegun) l.push_back(kStageNg[stage]);
  if (stage == kRomVersion) l.push_back("NG : Get ROM Version");
  if (stage == kFactoryData) {
    l.insert(l.end(), {"FLASH DATA : NG", "", "ROM Verision : V2.00.00 "});
  }
  l.insert(l.end(), {kFailed, ""});
  // After a verified write the firmware is in: one text says so and how
  // the settings are finished; the factory restore had saved the EEPROM
  // first and names the file.
  if (stage == kRomVersion) l.push_back(kAdviceVerifiedThenRestore);
  if (stage == kFactoryData) {
    l.push_back(kAdviceFirmwareIn);
    if (row.backupMade) l.push_back(std::string(kAdviceEepromBackup) + "<file>");
    for (const char* const* line = row.restoreLines; *line; ++line) l.push_back(*line);
  }
  if (stage > kVerify) return l;
  // Before it, the failed stage's advice.
  if (stage == kHandshake) l.push_back(kAdviceCheckConnection);
  l.push_back(kAdvicePowerCycle);
  l.push_back(stage == kWrite ? kAdviceRetryReWrite : kAdviceRetry);
  return l;
}

// The advice at the end of a row's stdout: the lines after the failure line and its blank.
std::ptrdiff_t AdviceLineCount(const Row& row) {
  if (row.stage == kRomVersion) return 1;
  if (row.stage != kFactoryData) return row.stage == kHandshake ? 3 : 2;
  std::ptrdiff_t n = 1 + (row.backupMade ? 1 : 0);
  for (const char* const* line = row.restoreLines; *line; ++line) ++n;
  return n;
}

// The saved EEPROM's file name carries the time; the line is kept up to its
// folder, which must be the one given to kv9flash.
void MaskBackupFile(Lines& out, const fs::path& dataHome) {
  const std::string prefix = std::string(kAdviceEepromBackup) + dataHome.string() + "/";
  for (auto& line : out) {
    if (line.rfind(prefix, 0) == 0) line = std::string(kAdviceEepromBackup) + "<file>";
  }
}

struct Outcome {
  bool exitOne = false, stageLine = false, advice = false, noSuccess = false, bounded = false;
  bool wholeOutput = false;  // stdout exactly as expected, line by line
  bool reported = false;     // the report's module_state and continue_with as expected
  std::string recovery;
  bool recovered = false;
  bool eepromAsGoodUpdate = false;  // the recovered module's EEPROM is a good update's
  std::string detail;  // what went wrong, for the failure message
};

bool Contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string ReadText(const fs::path& path) {
  const Bytes bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// The text of a string field of the report object ("" when null or missing).
std::string JsonText(const std::string& json, const std::string& field) {
  const std::string key = "\"" + field + "\":\"";
  const std::size_t at = json.find(key);
  if (at == std::string::npos) return {};
  const std::size_t from = at + key.size();
  return json.substr(from, json.find('"', from) - from);
}

// Runs the command the report says continues, word by word (the test's
// paths hold no blanks or quotes).
test::ChildResult FollowContinueWith(const std::string& command) {
  std::istringstream words(command);
  std::string program;
  words >> program;
  if (program != "kv9flash") return {};
  std::vector<std::string> args;
  for (std::string w; words >> w;) args.push_back(w);
  return test::RunChild(KV9FLASH_PATH, args, kRunDeadlineMs);
}

test::ChildResult Kv9flash(unsigned com, std::vector<std::string> extra) {
  std::vector<std::string> args{"--port", "COM" + std::to_string(com)};
  args.insert(args.end(), extra.begin(), extra.end());
  return test::RunChild(KV9FLASH_PATH, args, kRunDeadlineMs);
}

class FaultMatrix {
 public:
  FaultMatrix(fs::path dir, Bytes image, Bytes factory, Bytes goodFactoryData, Bytes goodAllData)
      : dir_(std::move(dir)),
        image_(std::move(image)),
        factory_(std::move(factory)),
        goodFactoryData_(std::move(goodFactoryData)),
        goodAllData_(std::move(goodAllData)) {}

  Outcome Run(const Row& row, unsigned com) {
    Outcome o;
    const fs::path first = dir_ / ("row" + std::to_string(com)) / "faulty";
    const fs::path second = dir_ / ("row" + std::to_string(com)) / "recovered";
    const fs::path report = dir_ / ("row" + std::to_string(com)) / "report.json";
    fs::create_directories(report.parent_path());
    std::vector<std::string> simArgs{"--com", std::to_string(com), "--dump", first.string()};
    simArgs.insert(simArgs.end(), row.fault.begin(), row.fault.end());
    auto sim = std::make_unique<SimProcess>(simArgs);
    if (!sim->WaitReady()) return Fail(o, "kv9sim did not start");

    const auto r = Kv9flash(com, {"--report", report.string()});
    CheckOutput(o, row, com, r);
    const std::string json = ReadText(report);
    const std::string prefix = "kv9flash --port COM" + std::to_string(com) + " " + row.next;
    const std::string next = JsonText(json, "continue_with");
    // Only a module its boot program still holds needs the power cycle
    // first: not one that answered in its firmware or was restarted.
    const bool powerCycle = row.stage <= kVerify && std::string(row.state) != "untouched";
    const bool saysPowerCycle = r.err.find("first switch the module off and on") != std::string::npos;
    o.reported = JsonText(json, "module_state") == row.state && next.rfind(prefix, 0) == 0 &&
                 JsonText(json, "outcome") == "failed" &&
                 json.find(std::string("\"power_cycle_first\":") + (powerCycle ? "true" : "false")) !=
                     std::string::npos &&
                 saysPowerCycle == powerCycle;
    if (!o.reported) o.detail += "report was: " + json + "\n";

    // The module as the run left it, and as it is after the power cycle the
    // report asks for: a power loss restarted it by itself.
    const bool powerLoss = row.fault[0] == "--power-loss-at-block";
    if (!powerLoss) {
      if (!sim->Stop()) return Fail(o, "kv9sim did not stop");
      const Bytes left = ReadFile(first / "flash.bin");
      if (left.size() != factory_.size()) return Fail(o, "no flash dump");
      // A module with a whole firmware starts it; one without stays in boot mode.
      const bool wholeFirmware = ProgrammedPart(left) == image_ || left == factory_;
      if (row.noEepromWrite && ReadText(first / "summary.json").find("\"fw:4E:83\"") != std::string::npos)
        o.detail += "an EEPROM write reached the module:\n" + ReadText(first / "summary.json");
      std::vector<std::string> cycled{"--com", std::to_string(com), "--dump", second.string(), "--flash",
                                      (first / "flash.bin").string(), "--eeprom", first.string()};
      if (!wholeFirmware) cycled.insert(cycled.end(), {"--start-in", "boot"});
      sim = std::make_unique<SimProcess>(cycled);
      if (!sim->WaitReady()) return Fail(o, "power-cycled kv9sim did not start");
    }
    o.recovery = powerLoss ? "same module: " + std::string(row.next) : "power cycle: " + std::string(row.next);
    const auto again = FollowContinueWith(next);
    if (again.exitCode != 0) return Fail(o, "continue_with failed: " + next + "\n" + again.out + again.err);
    if (!sim->Stop()) return Fail(o, "kv9sim did not stop");
    const fs::path last = powerLoss ? first : second;
    o.recovered = ProgrammedPart(ReadFile(last / "flash.bin")) == image_ &&
                  (!row.noEepromWrite || o.detail.find("an EEPROM write") == std::string::npos);
    o.eepromAsGoodUpdate =
        ReadFile(last / "eeprom_factory.bin") == goodFactoryData_ && ReadFile(last / "eeprom_all.bin") == goodAllData_;
    return o;
  }

 private:
  // The stdout and exit status of the failing run.
  void CheckOutput(Outcome& o, const Row& row, unsigned com, const test::ChildResult& r) const {
    Lines out = SplitLines(r.out);
    MaskBackupFile(out, dir_ / "data");
    const Lines expected = ExpectedFailure(com, row);
    o.bounded = !r.timedOut;
    o.exitOne = r.exitCode == 1;
    o.noSuccess = !Contains(out, kSucceeded);
    const std::string stageLine = !row.stageBegun           ? row.stepLine
                                  : row.stage < kVerify      ? kStageNg[row.stage]
                                  : row.stage == kVerify     ? kStageOk[kWrite]
                                  : row.stage == kRomVersion ? "NG : Get ROM Version"
                                                             : "FLASH DATA : NG";
    o.stageLine = Contains(out, stageLine) && (row.stage != kVerify || !Contains(out, kStageOk[kVerify]));
    const Lines adviceTail(expected.end() - AdviceLineCount(row), expected.end());
    o.advice = out.size() >= adviceTail.size() &&
               Lines(out.end() - static_cast<std::ptrdiff_t>(adviceTail.size()), out.end()) == adviceTail;
    o.wholeOutput = out == expected;
    if (!o.wholeOutput) o.detail += "stdout was:\n" + r.out + "stderr was:\n" + r.err;
  }

  static Outcome& Fail(Outcome& o, const std::string& why) {
    o.detail += why + "\n";
    return o;
  }

  fs::path dir_;
  Bytes image_;
  Bytes factory_;
  Bytes goodFactoryData_, goodAllData_;
};

std::string Mark(bool ok) { return ok ? "yes" : "NO"; }

TEST(FaultMatrixTest, EveryFaultAtEveryStageFailsCleanlyAndTheModuleRecovers) {
  // Only the ports published here: kv9flash sees them through the port folder.
  test::PortFolder folder;
  const fs::path dir = folder.Path();
  // The factory restore saves the module's EEPROM under here, not in $HOME.
  test::ScopedEnv dataHome("XDG_DATA_HOME", (dir / "data").string());
  const ResourceBlob blob = FindResource("HEXDATA", "HexData1");
  const Bytes image = ProgrammedPart(Bytes(blob.data, blob.data + blob.size));

  // The flash a module leaves the factory with, to tell an untouched one.
  Bytes factory;
  {
    SimProcess sim({"--com", "99", "--dump", (dir / "factory").string()});
    ASSERT_TRUE(sim.WaitReady());
    ASSERT_TRUE(sim.Stop());
    factory = ReadFile(dir / "factory" / "flash.bin");
    ASSERT_EQ(factory.size(), blob.size);
  }
  // The EEPROM a good update leaves: the module's own with the renewed words.
  const Bytes factoryData = ReadFile(dir / "factory" / "eeprom_factory.bin");
  const Bytes allData = ReadFile(dir / "factory" / "eeprom_all.bin");
  ASSERT_EQ(factoryData.size(), 124u);
  ASSERT_EQ(allData.size(), 124u);
  const Bytes goodFactoryData = test::WithRenewedWords(factoryData), goodAllData = test::WithRenewedWords(allData);

  constexpr std::size_t kRowCount = sizeof kRows / sizeof kRows[0];
  std::vector<Outcome> outcomes(kRowCount);
  FaultMatrix matrix(dir, image, factory, goodFactoryData, goodAllData);
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < kRowCount; i = next++) {
      outcomes[i] = matrix.Run(kRows[i], static_cast<unsigned>(10 + i));
    }
  };
  std::thread a(worker), b(worker);
  a.join();
  b.join();

  std::printf("\n%-34s | %-11s | exit 1 | stage line | advice | no success | bounded | report | %-30s | flash = image "
              "| EEPROM = good update\n",
              "fault", "stage", "recovery (continue_with)");
  for (std::size_t i = 0; i < kRowCount; ++i) {
    std::string fault;
    for (const auto& a : kRows[i].fault) fault += (fault.empty() ? "" : " ") + a;
    const Outcome& o = outcomes[i];
    std::printf("%-34s | %-11s | %-6s | %-10s | %-6s | %-10s | %-7s | %-6s | %-30s | %-13s | %s\n", fault.c_str(),
                kStageNames[kRows[i].stage], Mark(o.exitOne).c_str(), Mark(o.stageLine).c_str(),
                Mark(o.advice).c_str(), Mark(o.noSuccess).c_str(), Mark(o.bounded).c_str(),
                Mark(o.reported).c_str(), o.recovery.c_str(), Mark(o.recovered).c_str(),
                Mark(o.eepromAsGoodUpdate).c_str());
  }
  std::printf("(stage names in Japanese occupy two columns per character, so their cells run wide)\n");
  std::fflush(stdout);

  for (std::size_t i = 0; i < kRowCount; ++i) {
    const Outcome& o = outcomes[i];
    SCOPED_TRACE(kRows[i].fault[0] + (kRows[i].fault.size() > 1 ? " " + kRows[i].fault[1] : ""));
    EXPECT_TRUE(o.exitOne && o.stageLine && o.advice && o.noSuccess && o.bounded && o.wholeOutput && o.reported &&
                o.recovered && o.eepromAsGoodUpdate)
        << o.detail;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kv9
