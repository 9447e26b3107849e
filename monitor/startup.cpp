#include "startup.h"

#include <string.h>

#include "controls.h"
#include "instance_claim.h"
#include "seams.h"
#include "tessary.h"
#include "wayguard_ids.h"

namespace wayguard {

CAboutDialog::CAboutDialog() : Dialog(IDD_ABOUT) {}

bool AnotherMonitorRuns() {
  HWND recorded = PFW_GetGlobalMonitorHwnd();
  return recorded && IsWindow(recorded);
}

CStartupDialog::CStartupDialog(DWORD splashMs) : Dialog(IDD_STARTUP), splashMs_(splashMs) {}

BOOL CStartupDialog::OnInitDialog() {
  HideStartupWindow(hwnd_);
  PFW_InitializeGlobalData();
  if (AnotherMonitorRuns()) {
    refused_ = true;
    PostMessageA(hwnd_, WM_CLOSE, 0, 0);
    return TRUE;
  }
  ShowSplash();
  monitor_.onQuit = [this] { EndDialog(0); };
  monitor_.Create(hwnd_);
  return TRUE;
}

void CStartupDialog::ShowSplash() {
  if (!about_.Create(hwnd_)) return;
  ShowWindow(about_.Item(IDOK), SW_HIDE);
  ShowWindow(about_.hwnd(), SW_SHOW);
  UpdateWindow(about_.hwnd());
  SetTimer(hwnd_, kSplashTimer, splashMs_, nullptr);
}

void CStartupDialog::OnTimer(UINT_PTR id) {
  if (id != kSplashTimer) return;
  KillTimer(hwnd_, kSplashTimer);
  if (about_.hwnd()) about_.EndDialog(0);
}

bool CStartupDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_SHOWWINDOW && wParam) {
    HideStartupWindow(hwnd_);
    result = 0;
    return true;
  }
  if (msg == WM_WINDOWPOSCHANGING) {
    // The modal loop shows its dialog; this one is never to be seen.
    reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
    return false;
  }
  return false;
}

const char* HelpFilePath() { return winui::HelpFilePath(); }

int CMonitorApp::Run() {
  // Before anything else: two starts at the same moment give one monitor.
  winui::InstanceClaim claim(WAYGUARD_INSTANCE_NAME);
  if (!claim.owned()) return 1;
  winui::InitCommonControls();
  HelpFilePath();
  CStartupDialog startup;
  startup.DoModal(nullptr);
  return startup.refused() ? 1 : 0;
}

}  // namespace wayguard
