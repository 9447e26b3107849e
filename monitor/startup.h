// The application: the hidden start-up window that the program lives as long as, the
// About box (also the splash), and the single-instance test.
#pragma once
#include <windows.h>

#include "dialog.h"
#include "monitor_dialog.h"
#include "wayguard_app.h"

namespace wayguard {

class CAboutDialog : public winui::Dialog {
 public:
  CAboutDialog();
};

// True when a monitor window is recorded in the global state block and still exists. A
// handle left behind by a monitor that was killed does not count, or no monitor could
// start again until every process holding the block had ended.
bool AnotherMonitorRuns();

// The splash shows for `splashMs` on a timer of this window while the message loop runs:
// the monitor window is made at once beside it, so the interceptor's messages are served
// from the first moment.
class CStartupDialog : public winui::Dialog {
 public:
  explicit CStartupDialog(DWORD splashMs = kSplashMs);
  bool refused() const { return refused_; }
  CMonitorDialog& monitor() { return monitor_; }
  // The splash while it shows, else null.
  HWND splash() const { return about_.hwnd(); }

 protected:
  BOOL OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  static constexpr UINT_PTR kSplashTimer = 1;
  void ShowSplash();
  DWORD splashMs_;
  bool refused_ = false;
  CAboutDialog about_;
  CMonitorDialog monitor_;
};

class CMonitorApp {
 public:
  // Runs the program; 0 when it ran as the monitor, 1 when another monitor was running.
  int Run();
};

}  // namespace wayguard
