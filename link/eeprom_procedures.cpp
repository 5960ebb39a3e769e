#include "link/eeprom_procedures.h"

#include <algorithm>

#include "link/hex_trace.h"

namespace kv9 {
namespace {

constexpr std::uint8_t kKindFactory = 254;
constexpr std::uint8_t kKindAllData = 255;
constexpr std::uint8_t kFirstWordAddress = 1;
constexpr std::uint8_t kReferencePowerAddress = 41;

void CopyWords(const EepromImage& from, EepromImage& to, int firstWord, int words) {
  std::copy_n(from.begin() + 2 * firstWord, 2 * words, to.begin() + 2 * firstWord);
}

}  // namespace

void TakeRenewedWords(const EepromImage& fresh, EepromImage& image) {
  CopyWords(fresh, image, 25, 1);
  CopyWords(fresh, image, 31, 1);
  CopyWords(fresh, image, 39, kEepromWords - 39);
}

bool SameModuleFactoryData(const EepromImage& a, const EepromImage& b) {
  EepromImage renewedOfB = a;
  TakeRenewedWords(b, renewedOfB);
  return renewedOfB == b;
}

std::uint16_t ClampReferencePower(std::uint16_t value) {
  return value < 200 || value > 300 ? 250 : value;
}

int SetPowerRef(TFlashWrRXCont& cont, const LogLineFn& log) {
  if (!cont.TxOnOffCmd(1)) return 0;
  const std::uint8_t query[] = {0x84, 0x00};
  std::uint8_t reply[16] = {};
  int length = 15;
  if (!cont.PassThroughCmd(0x4F, 2, reply, length, query)) return 0;
  // reply[] starts at the reply's byte 3 (LEN): frame byte k is reply[k - 3].
  const auto power = static_cast<std::uint16_t>(reply[3] | (reply[4] << 8));
  auto reference = static_cast<std::uint16_t>(reply[5] | (reply[6] << 8));
  log("POWER       : " + std::to_string(power), 0);
  log("REF POWER   : " + std::to_string(reference), 0);
  reference = ClampReferencePower(reference);
  const std::uint8_t word[2] = {static_cast<std::uint8_t>(reference & 0xFF),
                                static_cast<std::uint8_t>(reference >> 8)};
  return cont.EepromWrite(kKindAllData, kReferencePowerAddress, 1, word);
}

int ShowFactoryData(TFlashWrRXCont& cont, const LogLineFn& log) {
  EepromImage factory{};
  if (!cont.EepromRead(kKindFactory, kFirstWordAddress, kEepromWords, factory.data())) {
    log("EEPROM_FACTALLDATA : NG", 1);
    return 0;
  }
  log("EEPROM_FACTALLDATA : OK", 1);
  log(HexTrace("", factory.data(), factory.size()), 1);
  return 1;
}

RestoreProblem ReadEepromImagesTwice(TFlashWrRXCont& cont, EepromImages& images) {
  EepromImages again;
  auto read = [&cont](EepromImages& into) {
    return cont.EepromRead(kKindFactory, kFirstWordAddress, kEepromWords, into.factory.data()) &&
           cont.EepromRead(kKindAllData, kFirstWordAddress, kEepromWords, into.allData.data());
  };
  if (!read(images) || !read(again)) return RestoreProblem::ReadFailed;
  if (again.factory != images.factory || again.allData != images.allData) return RestoreProblem::ReadsDisagree;
  return RestoreProblem::None;
}

RestoreProblem WriteEepromImagesBack(TFlashWrRXCont& cont, const EepromImages& images) {
  if (!cont.EepromWrite(kKindAllData, kFirstWordAddress, kEepromWords, images.factory.data())) {
    return RestoreProblem::WriteFailed;
  }
  for (const EepromRegion& region : kAllDataRegions) {
    if (!cont.EepromWrite(region.kind, kFirstWordAddress, static_cast<std::uint8_t>(region.words),
                          images.allData.data() + 2 * region.firstWord)) {
      return RestoreProblem::WriteFailed;
    }
  }
  EepromImage check{};
  if (!cont.EepromRead(kKindFactory, kFirstWordAddress, kEepromWords, check.data()) || check != images.factory) {
    return RestoreProblem::CheckFailed;
  }
  if (!cont.EepromRead(kKindAllData, kFirstWordAddress, kEepromWords, check.data()) || check != images.allData) {
    return RestoreProblem::CheckFailed;
  }
  return RestoreProblem::None;
}

RestoreProblem RestoreFactoryImages(TFlashWrRXCont& cont, int initScanMode, const EepromBackupFn& backup) {
  EepromImages old;
  if (const RestoreProblem read = ReadEepromImagesTwice(cont, old); read != RestoreProblem::None) return read;
  if (backup && !backup(old.factory, old.allData)) return RestoreProblem::BackupFailed;
  return ContinueFactoryRestore(cont, initScanMode, old, old);
}

RestoreProblem ContinueFactoryRestore(TFlashWrRXCont& cont, int initScanMode, EepromImages before,
                                      const EepromImages& held) {
  if (!cont.EepromInit(initScanMode)) {
    // A lost frame leaves the EEPROM as it was, a lost reply does not:
    // only what the module reads now tells the two apart.
    EepromImages now;
    const bool unchanged = ReadEepromImagesTwice(cont, now) == RestoreProblem::None &&
                           now.factory == held.factory && now.allData == held.allData;
    return unchanged ? RestoreProblem::InitLeftUnchanged : RestoreProblem::InitFailed;
  }
  // The fresh factory data goes into both images for good: a bit error the
  // frame's sum missed must not, so it is read twice like the others.
  EepromImage fresh{}, again{};
  if (!cont.EepromRead(kKindFactory, kFirstWordAddress, kEepromWords, fresh.data()) ||
      !cont.EepromRead(kKindFactory, kFirstWordAddress, kEepromWords, again.data())) {
    return RestoreProblem::FreshReadFailed;
  }
  if (fresh != again) return RestoreProblem::FreshReadsDisagree;
  TakeRenewedWords(fresh, before.factory);
  TakeRenewedWords(fresh, before.allData);
  return WriteEepromImagesBack(cont, before);
}

int RestoreFactorySettings(TFlashWrRXCont& cont, int initScanMode, const EepromBackupFn& backup) {
  return RestoreFactoryImages(cont, initScanMode, backup) == RestoreProblem::None ? 1 : 0;
}

}  // namespace kv9
