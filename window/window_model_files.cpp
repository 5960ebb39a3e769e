// Image files opened from the menu or dropped on the window, and the
// factory-setting items of ファイル, which open the port themselves.
#include <filesystem>

#include "link/eeprom_backup.h"
#include "link/eeprom_restore.h"
#include "link/flash_wr_rx_cont.h"
#include "serial/com_types.h"
#include "window/eeprom_write_back.h"
#include "window/image_open.h"
#include "window/window_model.h"
#include "window/window_texts.h"

namespace kv9::window {

void WindowModel::OpenImageClick() {
  const std::string& last = settings_.DropFileName;
  const std::string folder = last.empty() ? std::string() : std::filesystem::path(last).parent_path().string();
  const std::string file = view_.AskOpenFile(kOpenImageTitle, folder, kImageFileFilter);
  if (!file.empty()) DropFiles({file});
}

void WindowModel::DropFiles(const std::vector<std::string>& files) {
  view_.BringToFront();
  settings_.DropFileName = files.empty() ? std::string() : files.front();
  // Not while a run or the search uses the image or the port.
  if (settings_.DropFileName.empty() || !cont_ || Busy()) return;
  OpenImageFile(settings_.DropFileName);
}

void WindowModel::OpenImageFile(const std::string& path) {
  // The loaders may show a message box; a close that arrives meanwhile must
  // not release the controller under them.
  ControllerUse use(*this);
  // Another type would be refused without a word; the person is told why.
  if (const std::string problem = ImageFileProblem(path); !problem.empty()) {
    ShowMessage(problem);
    AppendLog("NG: Read ROM Data", 1);
    return;
  }
  const int loaded = cont_->LoadImageFile(path);
  AppendLog(loaded ? "OK: Read ROM Data" : "NG: Read ROM Data", 1);
  if (loaded) {
    imageFile_ = path;
    AppendLog(LoadedImageLine(*cont_, path), 1);
  }
}

bool WindowModel::PortForEeprom() {
  // An update ends with the port closed, or (broken off) open at the boot
  // program's rate; these items need the module's firmware at its rate on
  // the settings' port, opened afresh.
  const TProgSettings& s = settings_.ProgSettings;
  const int opened = cont_->ReopenAtRate(static_cast<std::uint8_t>(s.PortNumber), StrToBaudRate(std::to_string(s.BitRate)));
  AppendLog("Open " + cont_->CommX1.Port() + (opened ? " : OK" : " : NG"), 1);
  return opened != 0;
}

void WindowModel::RunEepromBackupFile(const char* item, bool rollBack) {
  std::string error;
  const std::string folder = EepromBackupFolder(error);
  const std::string file = view_.AskOpenFile(AllItems()[ItemNamed(item)].caption, folder, kEepromBackupFilter);
  if (file.empty() || !cont_) return;
  ControllerUse use(*this);
  if (!PortForEeprom()) return;
  RunEepromBackupCommand(*cont_, rollBack, settings_.InitScanMode, file, LogLine());
}

void WindowModel::EepromRestoreClick() { RunEepromBackupFile("MnEepromRestore", false); }

void WindowModel::EepromRollBackClick() { RunEepromBackupFile("MnEepromRollBack", true); }

void WindowModel::FactoryFinishClick() {
  ControllerUse use(*this);
  if (!PortForEeprom()) return;
  mnSetFactInitClick();
}

}  // namespace kv9::window
