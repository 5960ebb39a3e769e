#include "window/run_watch.h"

#include <array>

#include "window/window_texts.h"

namespace kv9::window {
namespace {

struct StageRow {
  const char* stage;  // UpdateReport::stage
  const char* title;
  bool gauged;  // the stage moves the gauge
};

// The flash stages keep the titles the run showed; the others get one.
constexpr std::array<StageRow, 10> kStages{{
    {"start", "接続", false},
    {"boot mode", "ブートモード", false},
    {"handshake", "書込設定", false},
    {"id code", "ID照合", false},
    {"erase", "イレース", true},
    {"write", "ライト", true},
    {"verify", "ベリファイ", true},
    {"restart", "リスタート", false},
    {"rom version", "ROMバージョン", false},
    {"restore", "初期化", false},
}};

const StageRow* RowOf(const std::string& stage) {
  for (const StageRow& row : kStages) {
    if (stage == row.stage) return &row;
  }
  return nullptr;
}

// The backup's name is a debug line of the restore; after a run that went
// well it is the one place the person learns where the copy is.
constexpr char kBackupLabel[] = "EEPROM BACKUP : ";

}  // namespace

std::string StageTitleOf(const std::string& reportStage) {
  const StageRow* row = RowOf(reportStage);
  return row ? row->title : reportStage;
}

void RunWatch::Start() { *this = RunWatch{}; }

void RunWatch::StageTitle(const std::string& text) {
  // A new stage starts its gauge from nothing.
  if (!text.empty() && !resultShown_) percent_ = 0;
}

void RunWatch::Gauge(int percent) {
  // The closing returns the gauge to 0 after the result; the stage's own
  // last value is what the person needs.
  if (!resultShown_) percent_ = percent;
}

void RunWatch::ResultShown(bool success) {
  resultShown_ = true;
  success_ = success;
}

std::vector<std::string> RunWatch::LinesAfterAdvice(std::int32_t failStage) {
  // A failed programming advises the re-write box by a name the port dialog
  // does not show; say where it is.
  afterAdvice_.clear();
  if (Failed() && failStage == 3) afterAdvice_.push_back(kReWriteBoxPlace);
  return afterAdvice_;
}

RunEndView RunWatch::End(const UpdateReport& report, bool debugShown) const {
  RunEndView view;
  const bool ok = report.outcome == UpdateOutcome::Ok;
  view.keepProgressWindow = Failed();
  // The core's advice, from its report, and the window's own line after it.
  if (Failed()) {
    view.adviceLines = report.adviceLines;
    view.adviceLines.insert(view.adviceLines.end(), afterAdvice_.begin(), afterAdvice_.end());
  }
  if (ok) {
    // A run that went well ends as it always has: label and gauge empty.
    if (!report.eepromBackup.empty() && !debugShown) view.logLines.push_back(kBackupLabel + report.eepromBackup);
    return view;
  }
  // Refused before anything was sent: no stage was reached.
  if (report.outcome == UpdateOutcome::Refused) return view;
  view.stageTitle = StageTitleOf(report.stage);
  const StageRow* row = RowOf(report.stage);
  view.percent = row && row->gauged ? percent_ : 0;
  return view;
}

}  // namespace kv9::window
