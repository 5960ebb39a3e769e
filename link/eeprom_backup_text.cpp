#include "link/eeprom_backup_text.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace kv9 {
namespace {

constexpr char kHeader[] = "# KV9 R/W EEPROM ";
constexpr char kModelLabel[] = "MODEL   :";
constexpr char kRomLabel[] = "ROM     :";
constexpr char kFactoryLabel[] = "FACTORY :";
constexpr char kAllDataLabel[] = "ALLDATA :";
constexpr char kCheckLabel[] = "CHECK   :";
constexpr char kCheckName[] = "CRC-32 ";

std::string Stamp(std::time_t when, const char* format) {
  char text[32] = {};
  if (const std::tm* local = std::localtime(&when)) std::strftime(text, sizeof text, format, local);
  return text;
}

std::string HexLine(const char* label, const EepromBackupImage& image) {
  std::string line = label;
  char byte[4];
  for (std::uint8_t b : image) {
    std::snprintf(byte, sizeof byte, " %02X", static_cast<unsigned>(b));
    line += byte;
  }
  return line + "\n";
}

std::string CheckLine(std::uint32_t crc) {
  char text[40];
  std::snprintf(text, sizeof text, "%s %s%08X\n", kCheckLabel, kCheckName, static_cast<unsigned>(crc));
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// " 1A 2B ..." after the label: exactly the image's bytes, nothing else.
bool ParseHexLine(const std::string& rest, EepromBackupImage& image) {
  std::istringstream words(rest);
  std::string word;
  std::size_t n = 0;
  while (words >> word) {
    if (n == image.size() || word.size() != 2) return false;
    const int high = HexDigit(word[0]), low = HexDigit(word[1]);
    if (high < 0 || low < 0) return false;
    image[n++] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return n == image.size();
}

bool StartsWith(const std::string& line, const char* prefix) { return line.rfind(prefix, 0) == 0; }

// The line kinds of a backup file, in the order they are written.
enum class LineKind { Header, Model, Rom, Factory, AllData, Check, Unknown };
constexpr const char* kKindNames[] = {"the \"# KV9 R/W EEPROM\"", "MODEL", "ROM", "FACTORY", "ALLDATA", "CHECK"};

LineKind KindOf(const std::string& line) {
  if (StartsWith(line, kHeader)) return LineKind::Header;
  if (StartsWith(line, kModelLabel)) return LineKind::Model;
  if (StartsWith(line, kRomLabel)) return LineKind::Rom;
  if (StartsWith(line, kFactoryLabel)) return LineKind::Factory;
  if (StartsWith(line, kAllDataLabel)) return LineKind::AllData;
  if (StartsWith(line, kCheckLabel)) return LineKind::Check;
  return LineKind::Unknown;
}

struct Line {
  LineKind kind;
  std::string text;
  std::size_t checkedBytes;  // the length of the text the check covers, up to this line
};

// The lines of the text without line ends; the check covers each line
// followed by LF, so a file whose line ends became CR LF still matches.
std::vector<Line> SplitLines(const std::string& text, std::string& covered) {
  std::vector<Line> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back({line.empty() ? LineKind::Unknown : KindOf(line), line, covered.size()});
    covered += line + "\n";
  }
  // Empty lines at the end (an editor's last line end) are no content.
  while (!lines.empty() && lines.back().text.empty()) lines.pop_back();
  return lines;
}

// The order the lines must have: with a check line, or an older file's.
bool InOrder(const std::vector<Line>& lines, bool withCheck) {
  static const std::vector<LineKind> kChecked{LineKind::Header, LineKind::Model,   LineKind::Rom,
                                              LineKind::Factory, LineKind::AllData, LineKind::Check};
  static const std::vector<LineKind> kOlder{LineKind::Header, LineKind::Factory, LineKind::AllData};
  const std::vector<LineKind>& order = withCheck ? kChecked : kOlder;
  if (lines.size() != order.size()) return false;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (lines[i].kind != order[i]) return false;
  }
  return true;
}

// Why the lines are not those of a whole file; "" when they are.
std::string StructureProblem(const std::vector<Line>& lines) {
  int seen[6] = {};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    if (line.kind == LineKind::Unknown) return "line " + std::to_string(i + 1) + " is not a line of a backup";
    if (++seen[static_cast<int>(line.kind)] > 1) return std::string(kKindNames[static_cast<int>(line.kind)]) + " line twice";
    if (seen[static_cast<int>(LineKind::Check)] && line.kind != LineKind::Check) return "a line after the CHECK line";
  }
  const bool withCheck = seen[static_cast<int>(LineKind::Check)] > 0;
  // MODEL and ROM came with the check line: without it the file was cut short.
  if (!withCheck && (seen[static_cast<int>(LineKind::Model)] || seen[static_cast<int>(LineKind::Rom)]))
    return "the CHECK line is missing (the file was cut short)";
  for (const LineKind k : {LineKind::Header, LineKind::Factory, LineKind::AllData}) {
    if (!seen[static_cast<int>(k)]) return std::string(kKindNames[static_cast<int>(k)]) + " line missing";
  }
  if (withCheck && (!seen[static_cast<int>(LineKind::Model)] || !seen[static_cast<int>(LineKind::Rom)]))
    return "MODEL or ROM line missing";
  if (!InOrder(lines, withCheck)) return "the lines are out of order";
  return {};
}

std::string Value(const std::string& line, const char* label) {
  std::string value = line.substr(std::char_traits<char>::length(label));
  if (!value.empty() && value.front() == ' ') value.erase(0, 1);
  return value;
}

// The check line's CRC; false when it is not "CRC-32 " and eight hex digits.
bool ParseCheck(const std::string& value, std::uint32_t& crc) {
  const std::string name = kCheckName;
  if (value.size() != name.size() + 8 || value.compare(0, name.size(), name) != 0) return false;
  crc = 0;
  for (std::size_t i = name.size(); i < value.size(); ++i) {
    const int digit = HexDigit(value[i]);
    if (digit < 0) return false;
    crc = crc << 4 | static_cast<std::uint32_t>(digit);
  }
  return true;
}

}  // namespace

std::string EepromBackupLineValue(const std::string& text) {
  std::string value;
  for (const char c : text) value += c >= 0x20 && c < 0x7F ? c : '?';
  while (!value.empty() && value.back() == ' ') value.pop_back();
  return value;
}

std::uint32_t Crc32(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<std::uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = crc & 1 ? crc >> 1 ^ 0xEDB88320u : crc >> 1;
  }
  return crc ^ 0xFFFFFFFFu;
}

std::string EepromBackupText(const EepromBackupOrigin& origin, std::time_t when, const EepromBackupImage& factory,
                             const EepromBackupImage& allData) {
  const std::string body = kHeader + origin.portName + " " + Stamp(when, "%Y-%m-%d %H:%M:%S") + "\n" +
                           kModelLabel + " " + EepromBackupLineValue(origin.model) + "\n" + kRomLabel + " " +
                           EepromBackupLineValue(origin.romVersion) + "\n" + HexLine(kFactoryLabel, factory) +
                           HexLine(kAllDataLabel, allData);
  return body + CheckLine(Crc32(body));
}

std::string ParseEepromBackupText(const std::string& text, EepromBackupContent& content) {
  std::string covered;
  const std::vector<Line> lines = SplitLines(text, covered);
  if (const std::string problem = StructureProblem(lines); !problem.empty()) return problem;
  EepromBackupContent read;
  for (const Line& line : lines) {
    switch (line.kind) {
      case LineKind::Model: read.model = Value(line.text, kModelLabel); break;
      case LineKind::Rom: read.romVersion = Value(line.text, kRomLabel); break;
      case LineKind::Factory:
        if (!ParseHexLine(Value(line.text, kFactoryLabel), read.factory)) return "the FACTORY line is not 124 hex bytes";
        break;
      case LineKind::AllData:
        if (!ParseHexLine(Value(line.text, kAllDataLabel), read.allData)) return "the ALLDATA line is not 124 hex bytes";
        break;
      case LineKind::Check: {
        std::uint32_t crc = 0;
        if (!ParseCheck(Value(line.text, kCheckLabel), crc)) return "the CHECK line is not \"CRC-32\" and 8 hex digits";
        if (crc != Crc32(std::string_view(covered).substr(0, line.checkedBytes)))
          return "the check does not match: the file was changed after it was written";
        read.checked = true;
        break;
      }
      case LineKind::Header:
      case LineKind::Unknown: break;
    }
  }
  content = read;
  return {};
}

}  // namespace kv9
