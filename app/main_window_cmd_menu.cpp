// The boot-mode command menu: every item runs one command of the boot
// program on the controller; the work and the texts live in the core
// (boot/boot_menu_commands), the window only logs the outcome.
#include <QAction>

#include "app/main_window.h"
#include "boot/boot_menu_commands.h"

namespace {

using MenuWork = std::function<kv9::BootMenuOutcome(kv9::TFlashWrRXCont&)>;

}  // namespace

#define KV9_CMD_HANDLER(Handler, work)                                                          \
  void TRXProgAppForm::Handler() {                                                              \
    ControllerUse use(*this);                                                                   \
    kv9::TFlashWrRXCont* c = FlashWrRXCont();                                                   \
    if (!c) return;                                                                             \
    const kv9::BootMenuOutcome outcome = MenuWork(work)(*c);                                     \
    kv9::LogMenuOutcome(outcome, [this](const std::string& text, int force) { AppendLog(text, force); }); \
  }

KV9_CMD_HANDLER(MnBitRateClick, [this](kv9::TFlashWrRXCont& c) { return kv9::MenuBitRate(c, ProgSettings.PortNumber); })
KV9_CMD_HANDLER(MnSupportDeviceClick, kv9::MenuSupportDevice)
KV9_CMD_HANDLER(MnDeviceSelectClick, kv9::MenuDeviceSelect)
KV9_CMD_HANDLER(MnClockInfoClick, kv9::MenuClockInfo)
KV9_CMD_HANDLER(MnSelectClockModeClick, kv9::MenuSelectClockMode)
KV9_CMD_HANDLER(MnTeibaiInfoClick, kv9::MenuTeibaiInfo)
KV9_CMD_HANDLER(MnGetClockInfoClick, kv9::MenuGetClockInfo)
KV9_CMD_HANDLER(MnBootAreaInfoClick, kv9::MenuBootAreaInfo)
KV9_CMD_HANDLER(MnUserAreaInfoClick, kv9::MenuUserAreaInfo)
KV9_CMD_HANDLER(MnEraseBlockInfoClick, kv9::MenuEraseBlockInfo)
KV9_CMD_HANDLER(MnWriteSizeinfoClick, kv9::MenuWriteSizeInfo)
KV9_CMD_HANDLER(MnDataAreaChkClick, kv9::MenuDataAreaChk)
KV9_CMD_HANDLER(MnDataAreaInfoClick, kv9::MenuDataAreaInfo)
KV9_CMD_HANDLER(MnSelectBitRateClick,
                [this](kv9::TFlashWrRXCont& c) { return kv9::MenuSelectBitRate(c, ProgSettings); })
KV9_CMD_HANDLER(MnEraseStatusSetClick, kv9::MenuEraseStatusSet)
KV9_CMD_HANDLER(MnBootProgInfoClick, kv9::MenuBootProgInfo)
KV9_CMD_HANDLER(MnRX210_IDCheckClick, kv9::MenuIdCheck)
KV9_CMD_HANDLER(MnSelUserBootAreaClick, kv9::MenuSelUserBootArea)
KV9_CMD_HANDLER(MnSelUSerAreaClick, kv9::MenuSelUserArea)
KV9_CMD_HANDLER(MnWrite256BytesClick, kv9::MenuWrite256Bytes)
KV9_CMD_HANDLER(MnSelEraseClick, kv9::MenuSelErase)
KV9_CMD_HANDLER(MnBlockEraseClick, kv9::MenuBlockErase)
KV9_CMD_HANDLER(MnMemReadClick, kv9::MenuMemRead)
KV9_CMD_HANDLER(MnUserBootSumCheckClick, kv9::MenuUserBootSumCheck)
KV9_CMD_HANDLER(MnUserAreaSumCheckClick, kv9::MenuUserAreaSumCheck)
KV9_CMD_HANDLER(MnDataSumCheckClick, kv9::MenuDataSumCheck)
KV9_CMD_HANDLER(MnUserBootBlankCheckClick, kv9::MenuUserBootBlankCheck)
KV9_CMD_HANDLER(MnUserAreaBlankCheckClick, kv9::MenuUserAreaBlankCheck)
KV9_CMD_HANDLER(MnReadLockBitStatusClick, kv9::MenuReadLockBitStatus)
KV9_CMD_HANDLER(MnProgLockBitClick, kv9::MenuProgLockBit)
KV9_CMD_HANDLER(MnEnLockBitClick, kv9::MenuEnLockBit)
KV9_CMD_HANDLER(MnDisaLockBitClick, kv9::MenuDisaLockBit)

#undef KV9_CMD_HANDLER

void TRXProgAppForm::MnCmdCheckClick() {
  ControllerUse use(*this);
  MnBitRateClick();
  MnSupportDeviceClick();
  MnDeviceSelectClick();
  MnClockInfoClick();
  MnSelectClockModeClick();
  MnTeibaiInfoClick();
  MnGetClockInfoClick();
  MnSelectBitRateClick();
  MnBootAreaInfoClick();
  MnUserAreaInfoClick();
  MnDataAreaChkClick();
  MnDataAreaInfoClick();
  MnEraseBlockInfoClick();
  MnWriteSizeinfoClick();
  MnEraseStatusSetClick();
}

void TRXProgAppForm::ConnectCmdMenu() {
  const struct {
    const char* item;
    void (TRXProgAppForm::*handler)();
  } items[] = {
      {"MnBitRate", &TRXProgAppForm::MnBitRateClick},
      {"MnSupportDevice", &TRXProgAppForm::MnSupportDeviceClick},
      {"MnDeviceSelect", &TRXProgAppForm::MnDeviceSelectClick},
      {"MnClockInfo", &TRXProgAppForm::MnClockInfoClick},
      {"MnSelectClockMode", &TRXProgAppForm::MnSelectClockModeClick},
      {"MnTeibaiInfo", &TRXProgAppForm::MnTeibaiInfoClick},
      {"MnGetClockInfo", &TRXProgAppForm::MnGetClockInfoClick},
      {"MnBootAreaInfo", &TRXProgAppForm::MnBootAreaInfoClick},
      {"MnUserAreaInfo", &TRXProgAppForm::MnUserAreaInfoClick},
      {"MnEraseBlockInfo", &TRXProgAppForm::MnEraseBlockInfoClick},
      {"MnWriteSizeinfo", &TRXProgAppForm::MnWriteSizeinfoClick},
      {"MnDataAreaChk", &TRXProgAppForm::MnDataAreaChkClick},
      {"MnDataAreaInfo", &TRXProgAppForm::MnDataAreaInfoClick},
      {"MnSelectBitRate", &TRXProgAppForm::MnSelectBitRateClick},
      {"MnEraseStatusSet", &TRXProgAppForm::MnEraseStatusSetClick},
      {"MnBootProgInfo", &TRXProgAppForm::MnBootProgInfoClick},
      {"MnRX210_IDCheck", &TRXProgAppForm::MnRX210_IDCheckClick},
      {"MnSelUserBootArea", &TRXProgAppForm::MnSelUserBootAreaClick},
      {"MnSelUSerArea", &TRXProgAppForm::MnSelUSerAreaClick},
      {"MnWrite256Bytes", &TRXProgAppForm::MnWrite256BytesClick},
      {"MnSelErase", &TRXProgAppForm::MnSelEraseClick},
      {"MnBlockErase", &TRXProgAppForm::MnBlockEraseClick},
      {"MnMemRead", &TRXProgAppForm::MnMemReadClick},
      {"MnUserBootSumCheck", &TRXProgAppForm::MnUserBootSumCheckClick},
      {"MnUserAreaSumCheck", &TRXProgAppForm::MnUserAreaSumCheckClick},
      {"MnDataSumCheck", &TRXProgAppForm::MnDataSumCheckClick},
      {"MnUserBootBlankCheck", &TRXProgAppForm::MnUserBootBlankCheckClick},
      {"MnUserAreaBlankCheck", &TRXProgAppForm::MnUserAreaBlankCheckClick},
      {"MnReadLockBitStatus", &TRXProgAppForm::MnReadLockBitStatusClick},
      {"MnProgLockBit", &TRXProgAppForm::MnProgLockBitClick},
      {"MnEnLockBit", &TRXProgAppForm::MnEnLockBitClick},
      {"MnDisaLockBit", &TRXProgAppForm::MnDisaLockBitClick},
      {"MnIDCheck", &TRXProgAppForm::MnRX210_IDCheckClick},  // the second ID check item
      {"MnCmdCheck", &TRXProgAppForm::MnCmdCheckClick},
  };
  for (const auto& entry : items) {
    if (QAction* action = findChild<QAction*>(QString::fromLatin1(entry.item))) {
      connect(action, &QAction::triggered, this, entry.handler);
    }
  }
}
