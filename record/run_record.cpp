#include "record/run_record.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "platform/local_files.h"

namespace kv9::record {
namespace {

// Control characters would break the record's one-line-per-line form.
std::string Escaped(const std::string& line) {
  std::string out;
  for (const char c : line) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b != 0x7F) {
      out += c;
      continue;
    }
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", b);
    out += hex;
  }
  return out;
}

}  // namespace

std::string RunRecordBaseName(const std::string& program, const std::string& port, std::time_t when) {
  const std::tm local = LocalTime(when);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return program + "-" + stamp + "-" + port;
}

std::string RecordTimeStamp() {
  using std::chrono::system_clock;
  const system_clock::time_point now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - system_clock::from_time_t(seconds));
  const std::tm local = LocalTime(seconds);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms.count() % 1000));
  return text;
}

std::string RecordLines(const std::string& stamp, const char* mark, const std::string& text) {
  std::string out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t nl = text.find('\n', from);
    const std::size_t end = nl == std::string::npos ? text.size() : nl;
    out += stamp + "  " + mark + Escaped(text.substr(from, end - from)) + "\n";
    if (nl == std::string::npos) return out;
    from = nl + 1;
  }
}

std::FILE* OpenRunRecord(const std::string& folder, const std::string& program, const std::string& port,
                         std::string* path, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    *error = "cannot create " + folder + ": " + ec.message();
    return nullptr;
  }
  const std::string base = folder + "/" + RunRecordBaseName(program, port, std::time(nullptr));
  for (int n = 1; n < 1000; ++n) {
    *path = base + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".log";
    if (std::FILE* file = CreateNewFile(*path)) return file;
    if (errno != EEXIST) break;
  }
  *error = "cannot create " + *path + ": " + std::strerror(errno);
  return nullptr;
}

bool WriteRecordLines(std::FILE* file, const char* mark, const std::string& text) {
  const std::string lines = RecordLines(RecordTimeStamp(), mark, text);
  errno = 0;
  return std::fputs(lines.c_str(), file) >= 0 && std::fflush(file) == 0 && !std::ferror(file);
}

std::string OutcomeLine(const UpdateReport& report) {
  return std::string("outcome: ") + (report.outcome == UpdateOutcome::Ok ? "OK" : "NG") + " (" +
         OutcomeName(report.outcome) + ", stage " + report.stage + ", module " +
         ModuleStateName(report.moduleState) + ")";
}

RunRecordFile::~RunRecordFile() {
  std::string ignored;
  Close(ignored);
}

bool RunRecordFile::Open(const std::string& folder, const std::string& program, const std::string& port,
                         std::string& error) {
  std::string ignored;
  Close(ignored);
  file_ = OpenRunRecord(folder, program, port, &path_, &error);
  return file_ != nullptr;
}

void RunRecordFile::Write(const char* mark, const std::string& text) {
  if (!file_) return;
  if (!WriteRecordLines(file_, mark, text) && error_ == 0) error_ = errno ? errno : EIO;
}

bool RunRecordFile::Close(std::string& error) {
  if (!file_) return true;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  const int code = error_ ? error_ : (closed ? 0 : errno);
  error_ = 0;
  if (code == 0) return true;
  error = path_ + ": " + std::strerror(code);
  return false;
}

}  // namespace kv9::record
