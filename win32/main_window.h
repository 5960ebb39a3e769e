#pragma once
// TRXProgAppForm on Windows: the main window with its tool button, stage
// title, gauge, log pane and menus. It draws for the window model
// (window/window_model.h), which owns the controller and decides everything;
// every menu item, key and the tool button go to the model.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "log_edit.h"
#include "window/window_model.h"
#include "window/window_view.h"

class MainWindow : public kv9::window::WindowView {
 public:
  MainWindow();
  ~MainWindow() override;
  // Creates and shows the window; the start-up search follows once shown.
  bool Create(HINSTANCE instance, int show);
  HWND Handle() const { return hwnd_; }
  HACCEL Accelerators() const { return accel_; }

  // --- kv9::window::WindowView ---
  kv9::LogPane& LogLines() override { return SPTMemo; }
  void ShowBox(kv9::window::BoxKind kind, const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  void ShowStatus(const std::string& text) override;
  void SetCaption(const std::string& text) override;
  void BringToFront() override;
  void SetWindowEnabled(bool enabled) override;
  void SetItemEnabled(kv9::window::ItemId item, bool enabled) override;
  void SetMenuEnabled(kv9::window::MenuId menu, bool enabled) override;
  void SetItemChecked(kv9::window::ItemId item, bool checked) override;
  void ShowReWriteMode(bool on) override;
  void SetStageTitle(const std::string& text) override;
  void SetGauge(int percent) override;
  void SetAddress(const std::string& text) override;
  kv9::PortOpenDialogResult RunPortOpenDialog(const kv9::PortOpenDialogRequest& request,
                                              std::int32_t& reWriteMode) override;
  std::string AskOpenFile(const std::string& title, const std::string& folder, const std::string& filter) override;
  bool RunConfigDialog(kv9::window::ConfigValues& values) override;
  bool RunPortSetDialog(kv9::TCustomComPort& port, std::string& chosen) override;
  void ShowAbout() override;
  void ShowSearchWindow(const std::string& caption, const std::string& text) override;
  void SetSearchText(const std::string& text) override;
  void CloseSearchWindow() override;
  void ShowProgressWindow() override;
  void SetProgressLabel(const std::string& text) override;
  void SetProgressMessage(const std::string& text) override;
  void ShowProgressResult(bool success) override;
  void KeepProgressWindow(const std::vector<std::string>& advice) override;
  void CloseProgressWindow() override;
  void PlayResultSound(bool success) override;
  void CloseWindow() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  bool Command(int id);
  // main_window_layout.cpp
  void BuildControls();
  void BuildToolBar();
  void LayOut();
  int Scaled(int pixels) const;
  void MakeFonts();
  void DpiChanged(const RECT& suggested);
  void ShowMenuHint(WPARAM wParam);
  // main_window_menus.cpp: the menus and keys from the model's rows.
  void BuildMenus();
  HMENU MenuFor(const kv9::window::MenuItemRow& row);
  void BuildAccelerators();
  void WMDropFiles(HDROP drop);

  kv9::window::WindowModel model_{*this};
  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  HACCEL accel_ = nullptr;
  std::vector<HMENU> menus_;  // by MenuId; the engineering menus are never on the bar
  std::vector<std::pair<const char*, HMENU>> submenus_;
  HWND toolBar_ = nullptr, stAddr_ = nullptr, stTitle_ = nullptr, gauge_ = nullptr;
  HWND memo_ = nullptr, statusBar_ = nullptr;
  HFONT titleFont_ = nullptr, memoFont_ = nullptr, uiFont_ = nullptr;
  HWND searchWindow_ = nullptr;   // the search's wait window
  HWND progressWindow_ = nullptr;  // "マイコンへの書き込み"
  bool shown_ = false;
  LogEdit SPTMemo;
};
