// CMonitorDialog - the monitor window (template 102): the mode buttons, the lamps, the
// lock, timer and options buttons, the tray icon with its popup menu, the traffic message
// and the arming countdown. Made once, modeless and hidden, owned by the start-up window.
#pragma once
#include <windows.h>

#include <functional>

#include "connection_log.h"
#include "controls.h"
#include "dialog.h"
#include "monitor_rules.h"

namespace wayguard {

class CMonitorDialog : public winui::Dialog {
 public:
  // Window timers of the monitor window.
  static constexpr UINT_PTR kLeftLampTimer = 0, kRightLampTimer = 1, kCountdownTimer = 3, kRehideTimer = 4;

  CMonitorDialog();
  ~CMonitorDialog() override;

  // Makes the window, hidden, owned by `owner` (the start-up window, or null).
  bool Create(HWND owner);
  // The quit path: the tray icon goes, a null monitor handle is recorded, the window ends
  // and then `onQuit` runs (the start-up window ends the program there).
  void Quit();
  std::function<void()> onQuit;

  // Builds the popup menu for the present state; the caller destroys it.
  HMENU BuildPopupMenu() const;

  bool expanded() const { return expanded_ != 0; }
  bool shown() const { return shown_ != 0; }
  bool ready() const { return ready_ != 0; }
  int modeIndex() const { return modeIndex_; }
  bool lampLit(bool right) const { return (right ? rightLampLit_ : leftLampLit_) != 0; }
  UINT trafficMessage() const { return trafficMessage_; }
  UINT trayMessage() const { return trayMessage_; }
  HBITMAP litLamp() const { return litLamp_; }
  HBITMAP darkLamp() const { return darkLamp_; }
  // Returns once every traffic line taken so far is in the log file.
  void FlushLog() { log_.Flush(); }
  // The small picture the tray shows for a run mode.
  HICON TrayIconOf(int runMode) const;
  // The button picture of an icon resource (134, 135, 136, 139, 140, 145, 154).
  HICON ButtonIcon(UINT iconId) const;

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  void OnClose() override;
  void OnCancel() override;  // Escape hides the window, as its close box does
  void OnOK() override {}
  void OnDestroy() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void LoadPictures();
  void AddTrayIcon();
  void UpdateTrayIcon();
  void ApplyLockState(bool locked);
  void PushModeIndex();
  void Redraw();
  void SetModeFromButton(int mode);
  void SetModeFromMenu(int mode);
  void ToggleShown();
  void ToggleExpanded();
  void ShowPopupMenu();
  void Paint();
  void StartEdictor();
  void LockOrUnlock();
  void OpenOptions(bool onTimerPage);
  // What the options dialog gives back: the Logging page on OK, each timer set or stop.
  void StoreLogging(const LoggingSettings& logging);
  void ApplyTimerChange(const TimerChange& change);
  void CountdownTick();
  LRESULT OnTraffic(WPARAM wParam, LPARAM lParam, bool& handled);
  void FlashLamp(bool right);
  void LampOff(bool right);
  void RehideOwner();

  int quit_ = 0;
  int expanded_ = 0;
  int modeIndex_ = -1;
  int ready_ = 0;
  UINT trayMessage_ = 0;
  int shown_ = 0;
  int rightLampLit_ = 0;
  int leftLampLit_ = 0;
  UINT trafficMessage_ = 0;
  bool trayAdded_ = false;
  int width_ = 0;

  struct Icon {
    UINT id;
    HICON big;
    HICON small;
  };
  Icon icons_[7] = {};
  HBITMAP litLamp_ = nullptr;
  HBITMAP darkLamp_ = nullptr;
  winui::ToolTip tips_;
  LogWriter log_;
};

// Where the start-up window lives: at the screen's bottom edge, minimised, hidden, last
// in the z-order, without WS_VISIBLE.
void HideStartupWindow(HWND startup);

}  // namespace wayguard
