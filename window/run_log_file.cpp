#include "window/run_log_file.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "platform/data_folder.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kv9::window {
namespace {

std::tm LocalTime(std::time_t when) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &when);
#else
  localtime_r(&when, &local);
#endif
  return local;
}

// A new file, never another run's, even one started in the same second;
// not passed on to programs the tool starts. Null with errno set.
std::FILE* CreateNewFile(const std::string& path) {
#ifdef _WIN32
  const int fd = ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  return fd < 0 ? nullptr : ::_fdopen(fd, "w");
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  return fd < 0 ? nullptr : ::fdopen(fd, "w");
#endif
}

std::string TimeStamp() {
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

std::string RunLogFolder(std::string& error) {
  const std::string base = UserDataFolder(error);
  return base.empty() ? std::string() : base + "/kv9update/logs";
}

std::string RunLogBaseName(const std::string& port, std::time_t when) {
  const std::tm local = LocalTime(when);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return std::string("kv9update-") + stamp + "-" + port;
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

std::string OutcomeLine(const UpdateReport& report) {
  return std::string("outcome: ") + (report.outcome == UpdateOutcome::Ok ? "OK" : "NG") + " (" +
         OutcomeName(report.outcome) + ", stage " + report.stage + ", module " +
         ModuleStateName(report.moduleState) + ")";
}

RunLogFile::~RunLogFile() {
  std::string ignored;
  Close(ignored);
}

bool RunLogFile::Open(const std::string& folder, const std::string& port, std::string& error) {
  std::string ignored;
  Close(ignored);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error = "cannot create " + folder + ": " + ec.message();
    return false;
  }
  const std::string base = folder + "/" + RunLogBaseName(port, std::time(nullptr));
  for (int n = 1; n < 1000; ++n) {
    path_ = base + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".log";
    file_ = CreateNewFile(path_);
    if (file_) return true;
    if (errno != EEXIST) break;
  }
  error = "cannot create " + path_ + ": " + std::strerror(errno);
  return false;
}

void RunLogFile::Write(const char* mark, const std::string& text) {
  if (!file_) return;
  const std::string lines = RecordLines(TimeStamp(), mark, text);
  errno = 0;
  if ((std::fputs(lines.c_str(), file_) < 0 || std::fflush(file_) != 0) && error_ == 0) error_ = errno ? errno : EIO;
}

bool RunLogFile::Close(std::string& error) {
  if (!file_) return true;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  const int code = error_ ? error_ : (closed ? 0 : errno);
  error_ = 0;
  if (code == 0) return true;
  error = path_ + ": " + std::strerror(code);
  return false;
}

}  // namespace kv9::window
