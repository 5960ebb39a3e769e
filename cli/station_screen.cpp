#include "cli/station_screen.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "cli/host_os.h"
#include "cli/report_json.h"
#include "station/module_probe.h"

namespace kv9::cli {
namespace {

std::string ClockTime() {
  const std::tm local = LocalTime(std::time(nullptr));
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

}  // namespace

bool StationImageAccepted(const CliOptions& options) {
  std::string problem = station::StationImageProblem(options.settings, options.imageFile);
  if (problem.empty()) problem = station::StationBackupProblem(options.settings, options.update, options.imageFile);
  if (problem.empty()) return true;
  std::fprintf(stderr, "error: %s\n", problem.c_str());
  return false;
}

Station::Station(const CliOptions& options, bool live) : options_(options), live_(live) {}

Station::~Station() {
  if (report_) std::fclose(report_);
}

bool Station::OpenReport() {
  if (options_.reportFile.empty()) return true;
  report_ = std::fopen(options_.reportFile.c_str(), "a");
  if (report_) return true;
  std::fprintf(stderr, "error: cannot open %s: %s\n", options_.reportFile.c_str(), std::strerror(errno));
  return false;
}

void Station::Message(const SlotView& slot, const std::string& text) { Line(slot.port, text); }

void Station::Event(SlotView& slot, bool& inRun, const SlotEvent& event) {
  if (event.kind == "found") {
    slot.seq = ++seq_;
    inRun = true;
  }
  const std::string text = EventText(slot, event);
  ApplyEvent(slot, tally_, event);
  dirty_ = true;
  if (!live_ && !text.empty()) Line(slot.port, text);
  std::string reportLine;
  if (event.kind == "done") {
    inRun = false;
    if (!live_) Line("tally", TallyText(tally_, Elapsed()));
    reportLine = StationJson(event.Field(5), slot.seq, slot.start, slot.mode);
    WriteReportLine(slot, reportLine);
  }
  // The slot's state, and the run's report line as the file gets it, to the
  // broker: the same text in both places, so their run ids match.
  broker_.Event(slot, event, reportLine);
  TellBrokerNotices();
  for (SlotEventListener* listener : listeners_) listener->OnSlotEvent(slot, event, tally_);
}

void Station::SlotLost(SlotView& slot, bool inRun) {
  if (!inRun) {
    ++tally_.ng;
    return;
  }
  // What the station knows of the run: its port and that it ended without
  // its report; the module's state is unknown.
  PortRow row;
  row.port = slot.port;
  SlotEvent done{"done", {"NG", slot.stage, "", "0.0", slot.start, LostChildJson(row), slot.mode}};
  ApplyEvent(slot, tally_, done);
  const std::string reportLine = StationJson(done.Field(5), slot.seq, slot.start, slot.mode);
  WriteReportLine(slot, reportLine);
  broker_.Event(slot, done, reportLine);
  for (SlotEventListener* listener : listeners_) listener->OnSlotEvent(slot, done, tally_);
}

void Station::WriteReportLine(const SlotView& slot, const std::string& reportLine) {
  if (!report_) return;
  const std::string line = reportLine + "\n";
  if ((std::fputs(line.c_str(), report_) < 0 || std::fflush(report_) != 0) && !reportFailed_) {
    reportFailed_ = true;
    Line(slot.port, std::string("error: report not written: ") + std::strerror(errno));
  }
}

void Station::Line(const std::string& prefix, const std::string& text) {
  const std::string line = prefix + " " + ClockTime() + " " + text + "\n";
  if (!live_) {
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
    return;
  }
  EraseTable();
  std::fputs(line.c_str(), stderr);
  DrawTable();
}

void Station::TellBrokerNotices() {
  for (const std::string& line : broker_.Notices()) Line("station", line);
}

void Station::Redraw(bool force) {
  TellBrokerNotices();
  if (!live_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && !dirty_ && now - drawnAt_ < std::chrono::seconds(1)) return;
  // The progress of a stage comes often; the table is drawn a few times a second.
  if (!force && now - drawnAt_ < std::chrono::milliseconds(100)) return;
  EraseTable();
  DrawTable();
}

void Station::EraseTable() {
  if (drawn_ > 0) std::fprintf(stderr, "\033[%dA\r\033[J", drawn_);
  drawn_ = 0;
}

void Station::DrawTable() {
  std::string text;
  for (const SlotView* slot : slots_) text += SlotLine(*slot) + "\n";
  text += "tally  " + TallyText(tally_, Elapsed()) + "\n";
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  drawn_ = static_cast<int>(slots_.size()) + 1;
  dirty_ = false;
  drawnAt_ = std::chrono::steady_clock::now();
}

double Station::Elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

int Station::Finish() {
  // Every slot stopped and the station offline on the broker.
  broker_.Finish();
  TellBrokerNotices();
  if (live_) {
    EraseTable();
    DrawTable();
  } else if (!options_.quiet) {
    std::fprintf(stderr, "station: %s\n", TallyText(tally_, Elapsed()).c_str());
  }
  return tally_.ng > 0 || reportFailed_ ? 1 : 0;
}

}  // namespace kv9::cli
