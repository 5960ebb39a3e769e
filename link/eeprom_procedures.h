#pragma once
// The EEPROM procedures of the settings menu and of the update: they report
// through the main window's log line operation (same rule as AddLog).
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "link/flash_wr_rx_cont.h"
#include "link/update_report.h"

namespace kv9 {

using LogLineFn = std::function<void(const std::string& text, int force)>;

constexpr int kEepromWords = 62;
constexpr int kEepromBytes = 2 * kEepromWords;
using EepromImage = std::array<std::uint8_t, kEepromBytes>;

// The four regions the all-data image is written in (kind, first word, words).
struct EepromRegion {
  std::uint8_t kind;
  int firstWord;
  int words;
};
// Region 2 holds the eight words 30..37: with the other three the regions
// cover the 62 words exactly (a 39-word frame would send data from past the
// end of the image).
inline constexpr EepromRegion kAllDataRegions[] = {{0, 0, 20}, {1, 20, 10}, {2, 30, 8}, {3, 38, 24}};

// Copies the words the module renews at initialisation (25, 31, 39..61) from
// `fresh` into `image`. Pure.
void TakeRenewedWords(const EepromImage& fresh, EepromImage& image);

// True when `a` and `b` agree in every word the initialisation does not
// renew: the module's calibration and serial words, which tell one module
// from another. Pure.
bool SameModuleFactoryData(const EepromImage& a, const EepromImage& b);

// The stored reference power: `value` when within 200..300, else 250. Pure.
std::uint16_t ClampReferencePower(std::uint16_t value);

// Switches the transmitter on, reads power and reference power, and stores
// the reference power (clamped) at word 41 of the all-data area.
int SetPowerRef(TFlashWrRXCont& cont, const LogLineFn& log);
// Lists the factory data: the OK/NG line and, on success, the 124 bytes.
int ShowFactoryData(TFlashWrRXCont& cont, const LogLineFn& log);
// Both images the module offers, starting at word 1.
struct EepromImages {
  EepromImage factory{};
  EepromImage allData{};
};

// Reads both images twice: a bit error on the line that slipped past the
// frame checks would otherwise be written back into the module for good.
// ReadFailed when a read failed, ReadsDisagree when the two reads differ,
// None when `images` holds what both reads agreed on.
RestoreProblem ReadEepromImagesTwice(TFlashWrRXCont& cont, EepromImages& images);

// Writes the images back (the factory image through the all-data write, the
// all-data image in its four regions) and reads both back to compare:
// WriteFailed, CheckFailed or None.
RestoreProblem WriteEepromImagesBack(TFlashWrRXCont& cont, const EepromImages& images);

// Called with both images once they are read (twice, alike), before the
// initialisation overwrites them; false stops the procedure before the
// initialisation (the copy on disk could not be made).
using EepromBackupFn = std::function<bool(const EepromImage& factory, const EepromImage& allData)>;

// Re-initialises the EEPROM and writes back the old values except the renewed
// words; reads both images back and compares them. Nothing is initialised
// unless both reads agreed and `backup` (when given) returned true.
RestoreProblem RestoreFactoryImages(TFlashWrRXCont& cont, int initScanMode, const EepromBackupFn& backup);

// The factory-setting step from its initialisation on, with `before` as the
// images the module held before it (read from the module, or from a backup
// file): initialises, reads the fresh factory image twice (both alike),
// takes the renewed words from it into both images, writes them and reads
// them back. `held` is what the module holds now: an initialisation that was
// refused or not answered is InitLeftUnchanged when the module still reads
// as `held`, InitFailed otherwise.
RestoreProblem ContinueFactoryRestore(TFlashWrRXCont& cont, int initScanMode, EepromImages before,
                                      const EepromImages& held);
// The same, 1 when it succeeded.
int RestoreFactorySettings(TFlashWrRXCont& cont, int initScanMode, const EepromBackupFn& backup = {});

}  // namespace kv9
