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
