#pragma once
// What a station slot asks of its port between updates, quietly: no error
// boxes, no log lines, nothing on the terminal while nothing is there. A
// stop ends a probe before its next frame.
#include <cstdint>
#include <functional>
#include <string>

#include "link/firmware_update.h"
#include "platform/prog_settings.h"
#include "station/slot_presence.h"

namespace kv9::station {

// What one probe asks, in this order, until something answers.
struct ProbePlan {
  // The boot program of a broken-off session, by its status inquiry at
  // this rate (0: not asked).
  std::int32_t sessionRate = 0;
  // Bit-rate matching of a boot program fresh from power-up, at the rates
  // it matches at (19200, then 9600).
  bool bootProgram = false;
  // The module's firmware: its ROM version, model name and calibration
  // words, at firmwareRate first, and with allRates at every module rate.
  std::int32_t firmwareRate = 0;
  bool allRates = true;
};

// The plan for what the machine knows of the slot: a module with a known
// firmware is asked at its rate alone; a module left in its boot program
// its session, a fresh boot program and its firmware; an empty slot every
// module rate and a boot program.
ProbePlan PlanFor(const SlotPresence& presence, std::int32_t lastRate, std::int32_t bootRate);

// The port is in the port table now (an adapter plugged in, a slot's link
// whose device exists).
bool PortPresent(const std::string& port);

// Runs the plan on `port` (opening it and closing it again) with the
// settings' line options. `atMs` of the result is left for the caller.
// `stopAsked` ends it before the next frame. The firmware questions wait up
// to about two seconds at each rate.
ProbeResult ProbeModule(const TProgSettings& settings, const std::string& port, const ProbePlan& plan,
                        const std::function<bool()>& stopAsked);

// What is wrong with the image a station would program (the file does not
// load, or it belongs to another area than the settings describe), "" when
// nothing is: a station refuses it before any port is touched.
std::string StationImageProblem(const TProgSettings& settings, const std::string& imageFile);

// Why the slots' firmware copies (--backup, a folder each slot writes its
// own files into) cannot be made, "" when they can: checked once at start,
// so a mistyped folder stops the station before any module is touched.
std::string StationBackupProblem(const TProgSettings& settings, const UpdateOptions& update,
                                 const std::string& imageFile);

}  // namespace kv9::station
