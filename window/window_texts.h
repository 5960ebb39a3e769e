#pragma once
// The window's own texts that both windows show, beside the core's.
namespace kv9::window {

// Where the re-write box is, after the advice that names it.
inline constexpr char kReWriteBoxPlace[] =
    "［再書込み行う］は、ファイルメニューの「R/Wの再検索...」で開くポート選択画面の"
    "「再書込み設定...」ボタンの中の「再書き込みを行う」です。";
// The status-bar hint when a window is to be closed or minimised during a run
// or a search.
inline constexpr char kRefusedDuringRun[] = "書き込み中は終了できません";
inline constexpr char kRefusedDuringSearch[] = "R/Wの検索中は終了できません";
// Shown for as long as re-write mode is on.
inline constexpr char kReWriteModeShown[] = "再書き込みモード";
// The run's record could not be written; the person learns it once.
inline constexpr char kRunLogFailed[] = "実行記録を保存できません : ";
// The EEPROM write-back's file dialog.
inline constexpr char kEepromBackupFilter[] = "EEPROMバックアップ (*.txt)";
inline constexpr char kEepromRestoreFileLine[] = "EEPROMバックアップから工場出荷時設定 : ";
inline constexpr char kEepromRollBackFileLine[] = "EEPROMのロールバック : ";
// Asked before another module's backup file is written into this one.
inline constexpr char kOtherModuleQuestion[] =
    "このEEPROMバックアップファイルは別のR/Wのものです（工場出荷時データが一致しません）。"
    "別のR/Wの校正データがこのR/Wに書き込まれます。書き込みますか？";

}  // namespace kv9::window

namespace kv9::window {

inline constexpr char kCaption[] = "KV9 ファームウェアアップデート";
inline constexpr char kCaptionModel[] = " for KV9X-Q508";
// F9 or the tool button after a failed run, before a second search has
// found the module again: nothing is sent.
inline constexpr char kSearchAgainFirst[] = "ファイルメニューの「R/Wの再検索...」でR/Wを検索し直してください";
// The next start after a run that was broken off (a signal, a crash, a
// power cut): the run's record and the advice it ended with.
inline constexpr char kBrokenOffRun[] = "前回の書き込みは中断されました。実行記録 : ";
// The image file dialog's title.
inline constexpr char kOpenImageTitle[] = "ROMデータを開く";
// After the advice of a run that left the factory step undone: the window's
// items that finish it.
inline constexpr char kFactoryFinishPlace[] =
    "工場出荷時設定は、ファイルメニューの「工場出荷時設定の仕上げ」で、R/Wを接続したまま実行できます。";
inline constexpr char kWriteBackPlace[] =
    "途中で終わった工場出荷時設定の続きは、ファイルメニューの「EEPROMバックアップから工場出荷時設定...」で、"
    "保存したファイルを選んで実行できます。";
inline constexpr char kRollBackPlace[] =
    "EEPROMのロールバックは、ファイルメニューの「EEPROMのロールバック...」で、保存したファイルを選んで実行できます。";
// A failed run after which the port is gone from the system's list: the
// module (or its cable or adapter) went away, not a refused frame.
inline constexpr char kPortVanished[] =
    "R/Wのポートが見つかりません。ケーブルとUSBアダプタの接続を確認し、R/Wの電源を入れ直してから、"
    "ファイルメニューの「R/Wの再検索...」で検索し直してください。";
// The firmware backup was asked for and there is no folder for it.
inline constexpr char kNoFirmwareBackupFolder[] = "ファームウェアのバックアップ先がありません。";

}  // namespace kv9::window
