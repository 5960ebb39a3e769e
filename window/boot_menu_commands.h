#pragma once
// The boot-mode command menu as one table: every row is one menu item with
// its text, the controller operation it runs, the texts it logs and how the
// reply is decoded. The main window builds its items and their handlers from
// the rows, so adding a command is adding a row (and its decoder, if new).
// No toolkit here; the window only passes the outcome to its log.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "boot/boot_protocol.h"
#include "boot/boot_reply_format.h"
#include "platform/prog_settings.h"

namespace kv9 {

class TFlashWrRXCont;

// Where in the command menu a row's item sits.
enum class BootMenuPlace {
  kCommandMenu,   // the command menu itself
  kInquiries,     // its inquiry submenu
  kHostCommands,  // its program / erase host command submenu
};

// What an operation leaves for its row's decoder: the whole data reply of an
// inquiry (code, size, data, sum), or the one status byte of the lock-bit read.
struct BootMenuReply {
  std::array<std::uint8_t, kInquiryBufSize> bytes{};
  int length = 0;
};

// Runs the row's operation. `settings` are the main window's own: its port
// number and its bit-rate settings, without the RX231 substitution.
using BootMenuRun = int (*)(TFlashWrRXCont& c, const TProgSettings& settings, BootMenuReply& reply);
using BootMenuDecode = DetailLines (*)(const std::uint8_t* reply, int length);

struct BootMenuCommand {
  const char* item;     // the menu item's object name
  const char* caption;  // the menu text
  BootMenuPlace place;
  const char* text;  // logged after "OK: " or "NG: "
  BootMenuRun run;
  BootMenuDecode decode;  // the detail lines of a success; null: none
  int commandCheckStep;   // 1.. its turn in the command check; 0: not part of it
};

// Every row, in menu order.
std::span<const BootMenuCommand> BootMenuCommands();
// The row of the item with this object name; null when there is none.
const BootMenuCommand* FindBootMenuCommand(std::string_view item);
// The rows the command check runs, in its order (not the menu's).
std::vector<const BootMenuCommand*> CommandCheckSequence();

struct BootMenuOutcome {
  int ok = 0;
  std::string okText;
  std::string ngText;
  DetailLines details;  // printed after the OK text only
};

// Runs one row on the controller: its operation, then its decoder when the
// operation succeeded.
BootMenuOutcome RunBootMenuCommand(TFlashWrRXCont& c, const BootMenuCommand& command,
                                   const TProgSettings& settings);

// Logs an outcome the menu's way: the OK text and the detail lines as
// debug lines, or the NG text always shown.
void LogMenuOutcome(const BootMenuOutcome& outcome,
                    const std::function<void(const std::string&, int)>& log);

// The lock-bit status byte (reply byte 0) as its two detail lines. Pure.
DetailLines LockStatusReplyLines(const std::uint8_t* reply, int length);

}  // namespace kv9
