#include "monitor_dialog.h"

#include <shellapi.h>

#include <string>

#include "connection_log.h"
#include "help/tarnwall_help.h"
#include "monitor_rules.h"
#include "options_dialog.h"
#include "prompt.h"
#include "seams.h"
#include "startup.h"
#include "stored_options.h"
#include "tessary.h"
#include "unlock_dialog.h"
#include "wayguard_app.h"
#include "wayguard_ids.h"
#include "window.h"

namespace wayguard {

namespace {

const UINT kIconIds[7] = {IDI_STANDBY, IDI_BLOCK, IDI_FILTER, IDI_UNLOCKED, IDI_LOCKED, IDI_TIMER, IDI_OPTIONS};
const int kModeButtons[3] = {IDC_STANDBY, IDC_FILTER, IDC_BLOCK};  // in mode-index order
// What the lock disables: the mode buttons, the timer and the options button.
const int kLockedControls[5] = {IDC_FILTER, IDC_BLOCK, IDC_STANDBY, IDC_TIMER, IDC_OPTIONS};
const int kTippedControls[6] = {IDC_STANDBY, IDC_FILTER, IDC_BLOCK, IDC_LOCK, IDC_TIMER, IDC_OPTIONS};

HICON LoadIconSized(UINT id, int size) {
  return static_cast<HICON>(LoadImageA(winui::Instance(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
}

HBITMAP LoadLamp(UINT id) {
  // The lamps are drawn on the dialog grey, which becomes the system's face colour.
  return static_cast<HBITMAP>(
      LoadImageA(winui::Instance(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
}

}  // namespace

void HideStartupWindow(HWND startup) {
  if (!startup || !IsWindow(startup)) return;
  static bool busy = false;  // minimising sends WM_SHOWWINDOW, which brings us back here
  if (busy) return;
  busy = true;
  ShowWindow(startup, SW_MINIMIZE);
  ShowWindow(startup, SW_HIDE);
  SetWindowLongPtrA(startup, GWL_STYLE, GetWindowLongPtrA(startup, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_VISIBLE));
  RECT desktop;
  GetWindowRect(GetDesktopWindow(), &desktop);
  SetWindowPos(startup, HWND_BOTTOM, 0, desktop.bottom, 0, 0, SWP_HIDEWINDOW | SWP_NOACTIVATE);
  busy = false;
}

CMonitorDialog::CMonitorDialog() : Dialog(IDD_MONITOR) {}

CMonitorDialog::~CMonitorDialog() {
  // While the object still stands, so that the clean-up in OnDestroy runs.
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  for (Icon& icon : icons_) {
    if (icon.big) DestroyIcon(icon.big);
    if (icon.small) DestroyIcon(icon.small);
  }
  if (litLamp_) DeleteObject(litLamp_);
  if (darkLamp_) DeleteObject(darkLamp_);
}

bool CMonitorDialog::Create(HWND owner) { return Dialog::Create(owner); }

HICON CMonitorDialog::TrayIconOf(int runMode) const {
  UINT id = TrayIcon(runMode);
  for (const Icon& icon : icons_)
    if (icon.id == id) return icon.small;
  return nullptr;
}

HICON CMonitorDialog::ButtonIcon(UINT iconId) const {
  for (const Icon& icon : icons_)
    if (icon.id == iconId) return icon.big;
  return nullptr;
}

void CMonitorDialog::LoadPictures() {
  int small = GetSystemMetrics(SM_CXSMICON);
  for (int i = 0; i < 7; i++)
    icons_[i] = Icon{kIconIds[i], LoadIconSized(kIconIds[i], 32), LoadIconSized(kIconIds[i], small)};
  trayMessage_ = RegisterWindowMessageA("LWM_SYSTEMTRAY_MESSAGE");
  litLamp_ = LoadLamp(IDB_LAMP_LIT);
  darkLamp_ = LoadLamp(IDB_LAMP_DARK);
}

BOOL CMonitorDialog::OnInitDialog() {
  PFW_SetGlobalMonitorHwnd(hwnd_);
  trafficMessage_ = RegisterWindowMessageA("PFW_PRIVATEWINDOWSMESSAGE");
  rightLampLit_ = leftLampLit_ = 0;
  shown_ = 0;

  RECT r;
  GetWindowRect(hwnd_, &r);
  // 190 pixels is the template's width in the system font it was laid out for; where the
  // dialog font is wider, the template's own width keeps the right-hand controls in view.
  width_ = MonitorWidth(r.right - r.left);
  MoveWindow(hwnd_, r.left, r.top, width_, kCollapsedHeight, TRUE);
  expanded_ = 0;

  LoadPictures();
  SendItem(IDC_LAMP_LEFT, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(darkLamp_));
  SendItem(IDC_LAMP_RIGHT, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(darkLamp_));
  AddTrayIcon();

  bool locked = PFW_GetLockStatus() != 0;
  ApplyLockState(locked);
  SetItemText(IDC_LOCK, locked ? "Unlock" : "Lock");
  ready_ = 1;

  SendItem(IDC_TIMER, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(ButtonIcon(IDI_TIMER)));
  SendItem(IDC_OPTIONS, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(ButtonIcon(IDI_OPTIONS)));

  modeIndex_ = ModeIndexOf(PFW_GetRunMode());
  PushModeIndex();
  Redraw();

  if (tips_.Create(hwnd_))
    for (int id : kTippedControls) tips_.Add(Item(id), LPSTR_TEXTCALLBACKA);

  SetTimer(hwnd_, kRehideTimer, 50, nullptr);
  return TRUE;
}

void CMonitorDialog::AddTrayIcon() {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = hwnd_;
  data.uID = 1;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = trayMessage_;
  int mode = PFW_GetRunMode();
  data.hIcon = TrayIconOf(mode);
  lstrcpynA(data.szTip, TrayTip(mode, true).c_str(), 64);
  trayAdded_ = winui::NotifyIcon(NIM_ADD, &data) != FALSE;
}

void CMonitorDialog::UpdateTrayIcon() {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = hwnd_;
  data.uID = 1;
  data.uFlags = NIF_ICON | NIF_TIP;
  int mode = PFW_GetRunMode();
  data.hIcon = TrayIconOf(mode);
  lstrcpynA(data.szTip, TrayTip(mode, false).c_str(), 64);
  winui::NotifyIcon(NIM_MODIFY, &data);
}

void CMonitorDialog::ApplyLockState(bool locked) {
  LockLook look = LookOfLock(locked);
  SetItemText(IDC_LOCK_STATUS, look.statusText);
  for (int id : kLockedControls) EnableItem(id, look.controlsEnabled);
  if (!locked) EnableItem(IDC_LOCK, true);
  // The pictures again, so disabled and enabled buttons are drawn afresh.
  for (int i = 0; i < 3; i++)
    SendItem(kModeButtons[i], BM_SETIMAGE, IMAGE_ICON,
             reinterpret_cast<LPARAM>(ButtonIcon(LookOfMode(ModeOfButton(kModeButtons[i]))->icon)));
  SendItem(IDC_TIMER, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(ButtonIcon(IDI_TIMER)));
  SendItem(IDC_OPTIONS, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(ButtonIcon(IDI_OPTIONS)));
  SendItem(IDC_LOCK, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(ButtonIcon(look.lockIcon)));
}

void CMonitorDialog::PushModeIndex() {
  for (int i = 0; i < 3; i++) SendItem(kModeButtons[i], BM_SETCHECK, i == modeIndex_ ? BST_CHECKED : BST_UNCHECKED);
}

void CMonitorDialog::Redraw() { RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

void CMonitorDialog::SetModeFromButton(int mode) {
  PFW_SetRunMode(mode);
  ChangeStoredOptions([mode](PFW_OPTIONS& o) { o.run_mode = mode; });
  UpdateTrayIcon();
  modeIndex_ = ModeIndexOf(mode);
  Redraw();
}

void CMonitorDialog::SetModeFromMenu(int mode) {
  ChangeStoredOptions([mode](PFW_OPTIONS& o) { o.run_mode = mode; });
  PFW_SetRunMode(mode);
  UpdateTrayIcon();
  modeIndex_ = ModeIndexOf(mode);
  PushModeIndex();
  Redraw();
}

void CMonitorDialog::ToggleShown() {
  if (shown_) {
    shown_ = 0;
    ShowWindow(hwnd_, SW_HIDE);
  } else {
    shown_ = 1;
    ShowWindow(hwnd_, SW_SHOW);
    BringWindowToTop(hwnd_);
  }
}

void CMonitorDialog::ToggleExpanded() {
  RECT r;
  GetWindowRect(hwnd_, &r);
  expanded_ = !expanded_;
  MoveWindow(hwnd_, r.left, r.top, width_, MonitorHeight(expanded_ != 0), TRUE);
}

HMENU CMonitorDialog::BuildPopupMenu() const {
  HMENU bar = LoadMenuA(winui::Instance(), MAKEINTRESOURCEA(IDR_TRAY_MENU));
  if (!bar) return nullptr;
  HMENU menu = GetSubMenu(bar, 0);
  RemoveMenu(bar, 0, MF_BYPOSITION);  // keep the popup when the bar goes
  DestroyMenu(bar);
  MenuState state = MenuFor(PFW_GetRunMode(), PFW_GetLockStatus() != 0, expanded_ != 0, shown_ != 0);
  for (UINT command : {ID_MODE_FILTER, ID_MODE_BLOCK, ID_MODE_STANDBY}) {
    EnableMenuItem(menu, command, MF_BYCOMMAND | MF_ENABLED);
    if (command == state.checkedMode) CheckMenuItem(menu, command, MF_BYCOMMAND | MF_CHECKED);
    if (state.modesGrayed) EnableMenuItem(menu, command, MF_BYCOMMAND | MF_GRAYED);
  }
  if (state.advancedChecked) CheckMenuItem(menu, ID_ADVANCED, MF_BYCOMMAND | MF_CHECKED);
  ModifyMenuA(menu, ID_SHOW_MONITOR, MF_BYCOMMAND | MF_STRING, ID_SHOW_MONITOR, state.showText);
  return menu;
}

void CMonitorDialog::ShowPopupMenu() {
  POINT at;
  GetCursorPos(&at);
  HMENU menu = BuildPopupMenu();
  if (!menu) return;
  SetForegroundWindow(hwnd_);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
  PostMessageA(hwnd_, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

void CMonitorDialog::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  if (const ModeLook* look = LookOfMode(PFW_GetRunMode())) {
    HFONT font = CreateFontA(16, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, look->colour);
    TextOutA(dc, look->origin.x, look->origin.y, look->word, lstrlenA(look->word));
    SelectObject(dc, old);
    DeleteObject(font);
  }
  EndPaint(hwnd_, &ps);
  const char* status = TimerStatusOnPaint(PFW_GetTimerActive() != 0);
  if (status && GetItemText(IDC_TIMER_STATUS) != status) SetItemText(IDC_TIMER_STATUS, status);
}

void CMonitorDialog::StartEdictor() {
  char* path = PFW_GetEdictorPathFromRegistry();
  if (!path) return;
  ShellExecuteA(nullptr, "open", path, "", "c:", SW_SHOWNORMAL);
  PFW_FreeBuffer(path);
}

void CMonitorDialog::LockOrUnlock() {
  if (!PFW_GetLockStatus()) {
    PFW_SetLockStatus(1);
    ChangeStoredOptions([](PFW_OPTIONS& o) { o.lock_status = 1; });
    ApplyLockState(true);
    return;
  }
  CUnlockDialog unlock(PFW_GetPassword());
  if (unlock.DoModal(hwnd_) != IDOK) return;
  PFW_SetLockStatus(0);
  ChangeStoredOptions([](PFW_OPTIONS& o) { o.lock_status = 0; });
  ApplyLockState(false);
}

void CMonitorDialog::OpenOptions(bool onTimerPage) {
  const char* name = PFW_GetLogFileName();
  LoggingSettings logging{name ? name : "", PFW_GetLogFullyArmed() != 0, PFW_GetLogStandBy() != 0};
  COptionsDialog::Host host{[] { return PFW_GetTimerActive() != 0; },
                            [this](const TimerChange& change) { ApplyTimerChange(change); }};
  COptionsDialog options(logging, FirstPage(onTimerPage), host);
  if (options.DoModal(hwnd_) == IDOK) StoreLogging(options.logging());
}

void CMonitorDialog::StoreLogging(const LoggingSettings& logging) {
  PFW_SetLogFileName(logging.fileName.c_str());
  PFW_SetLogFileNameInRegistry(logging.fileName.c_str());
  int fullyArmed = logging.fullyArmed ? 1 : 0, standBy = logging.standBy ? 1 : 0;
  ChangeStoredOptions([&](PFW_OPTIONS& o) {
    o.log_fully_armed = fullyArmed;
    o.log_stand_by = standBy;
  });
  PFW_SetLogFullyArmed(fullyArmed);
  PFW_SetLogStandBy(standBy);
}

void CMonitorDialog::ApplyTimerChange(const TimerChange& change) {
  if (change.start) {
    PFW_SetTimerCountDown(static_cast<int>(change.seconds));
    PFW_SetTimerActive(1);
    ChangeStoredOptions([&](PFW_OPTIONS& o) {
      o.timer_countdown = change.seconds;
      o.timer_active = 1;
    });
    SetTimer(hwnd_, kCountdownTimer, 1000, nullptr);
    return;
  }
  ChangeStoredOptions([](PFW_OPTIONS& o) { o.timer_active = 0; });
  PFW_SetTimerActive(0);
  KillTimer(hwnd_, kCountdownTimer);
  Redraw();
}

void CMonitorDialog::CountdownTick() {
  PFW_OPTIONS stored{};
  bool haveStored = PFW_GetOptionsFromRegistry(&stored) != 0;
  Tick tick = wayguard::CountdownTick(static_cast<uint32_t>(PFW_GetTimerCountDown()), stored.timer_countdown);
  if (haveStored) {
    stored.timer_countdown = tick.nextStored;
    if (tick.expired) {
      stored.timer_active = 0;
      stored.run_mode = PFW_MODE_BLOCK;
    }
    PFW_SetOptionsInRegistry(stored);
  }
  if (!tick.expired) {
    PFW_SetTimerCountDown(static_cast<int>(tick.nextGlobal));
    SetItemText(IDC_TIMER_STATUS, tick.statusText.c_str());
    return;
  }
  PFW_SetRunMode(PFW_MODE_BLOCK);
  PFW_SetTimerActive(0);
  modeIndex_ = ModeIndexOf(PFW_MODE_BLOCK);
  KillTimer(hwnd_, kCountdownTimer);
  PushModeIndex();
  Redraw();
  UpdateTrayIcon();
}

void CMonitorDialog::FlashLamp(bool right) {
  int& lit = right ? rightLampLit_ : leftLampLit_;
  if (lit) return;
  lit = 1;
  SendItem(right ? IDC_LAMP_RIGHT : IDC_LAMP_LEFT, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(litLamp_));
  SetTimer(hwnd_, right ? kRightLampTimer : kLeftLampTimer, 30, nullptr);
}

void CMonitorDialog::LampOff(bool right) {
  SendItem(right ? IDC_LAMP_RIGHT : IDC_LAMP_LEFT, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(darkLamp_));
  KillTimer(hwnd_, right ? kRightLampTimer : kLeftLampTimer);
  (right ? rightLampLit_ : leftLampLit_) = 0;
}

LRESULT CMonitorDialog::OnTraffic(WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = true;
  switch (ActionOfTraffic(wParam, lParam)) {
    case TrafficAction::kLog: {
      PFW_TRAFFIC record;
      if (PFW_GetGlobalTraffic(&record)) log_.Append(PFW_GetLogFileName(), TrafficText(record));
      return 1;
    }
    case TrafficAction::kRightLamp:
      FlashLamp(true);
      return 1;
    case TrafficAction::kLeftLamp:
      FlashLamp(false);
      return 1;
    case TrafficAction::kPrompt:
      OnPromptRequest(hwnd_);
      return 1;
    case TrafficAction::kNone:
      break;
  }
  handled = false;
  return 0;
}

void CMonitorDialog::RehideOwner() { HideStartupWindow(GetWindow(hwnd_, GW_OWNER)); }

bool CMonitorDialog::OnCommand(int id, int code, HWND control) {
  if (int mode = ModeOfButton(id); mode >= 0 && control) {
    if (code == BN_CLICKED) SetModeFromButton(mode);
    return true;
  }
  if (int mode = ModeOfCommand(static_cast<UINT>(id)); mode >= 0) {
    SetModeFromMenu(mode);
    return true;
  }
  switch (id) {
    case ID_ADVANCED:
      ToggleExpanded();
      return true;
    case ID_SHOW_MONITOR:
      ToggleShown();
      return true;
    case ID_EDICTOR:
      StartEdictor();
      return true;
    case ID_ABOUT: {
      CAboutDialog about;
      about.DoModal(hwnd_);
      return true;
    }
    case IDC_LOCK:
      if (code == BN_CLICKED) LockOrUnlock();
      return true;
    case IDC_OPTIONS:
      if (code == BN_CLICKED) OpenOptions(false);
      return true;
    case IDC_TIMER:
      if (code == BN_CLICKED) OpenOptions(true);
      return true;
  }
  return Dialog::OnCommand(id, code, control);
}

void CMonitorDialog::OnTimer(UINT_PTR id) {
  switch (id) {
    case kLeftLampTimer:
      LampOff(false);
      break;
    case kRightLampTimer:
      LampOff(true);
      break;
    case kCountdownTimer:
      CountdownTick();
      break;
    case kRehideTimer:
      RehideOwner();
      KillTimer(hwnd_, kRehideTimer);
      break;
  }
}

void CMonitorDialog::OnClose() {
  if (!quit_) {
    shown_ = 0;
    ShowWindow(hwnd_, SW_HIDE);
    return;
  }
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = hwnd_;
  data.uID = 1;
  winui::NotifyIcon(NIM_DELETE, &data);
  trayAdded_ = false;
  // Every line taken from the mailbox is in the file before the monitor goes.
  log_.Flush();
  // Only our own handle is cleared: another monitor's record is not ours to take away.
  if (PFW_GetGlobalMonitorHwnd() == hwnd_) PFW_SetGlobalMonitorHwnd(nullptr);
  DestroyWindow(hwnd_);
  if (onQuit) onQuit();
}

void CMonitorDialog::OnCancel() {
  shown_ = 0;
  ShowWindow(hwnd_, SW_HIDE);
}

void CMonitorDialog::Quit() {
  if (!hwnd_) return;
  quit_ = 1;
  OnClose();
}

void CMonitorDialog::OnDestroy() {
  // However the window ends, it leaves neither a tray icon nor its handle behind.
  for (UINT_PTR timer : {kLeftLampTimer, kRightLampTimer, kCountdownTimer, kRehideTimer}) KillTimer(hwnd_, timer);
  if (trayAdded_) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = hwnd_;
    data.uID = 1;
    winui::NotifyIcon(NIM_DELETE, &data);
    trayAdded_ = false;
  }
  if (PFW_GetGlobalMonitorHwnd() == hwnd_) PFW_SetGlobalMonitorHwnd(nullptr);
  tips_.Destroy();
  ready_ = 0;
}

bool CMonitorDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (ready_ && msg == trafficMessage_ && trafficMessage_) {
    bool handled = false;
    result = OnTraffic(wParam, lParam, handled);
    return handled;
  }
  if (ready_ && msg == trayMessage_ && trayMessage_) {
    switch (lParam) {
      case WM_LBUTTONDBLCLK:
        ToggleShown();
        break;
      case WM_LBUTTONDOWN:
        BringWindowToTop(hwnd_);
        break;
      case WM_RBUTTONDOWN:
        ShowPopupMenu();
        break;
    }
    result = 0;
    return true;
  }
  switch (msg) {
    case WM_CONTEXTMENU:
      PostMessageA(hwnd_, trayMessage_, 0, WM_RBUTTONDOWN);
      result = 0;
      return true;
    case WM_LBUTTONDBLCLK:
      PostMessageA(hwnd_, WM_COMMAND, ID_ADVANCED, 0);
      return false;
    case WM_PAINT:
      if (IsIconic(hwnd_)) return false;
      Paint();
      result = 0;
      return true;
    case WM_SHOWWINDOW:
      if (wParam) SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      RehideOwner();
      return false;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->code != TTN_NEEDTEXTA) return false;
      auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
      UINT_PTR id =
          (info->uFlags & TTF_IDISHWND) ? GetDlgCtrlID(reinterpret_cast<HWND>(header->idFrom)) : header->idFrom;
      info->lpszText = const_cast<char*>(winui::LoadText(static_cast<UINT>(id)));
      result = 0;
      return true;
    }
    case WM_HELP:
      // F1 anywhere in the monitor opens the monitor's own topic.
      winui::ShowHelp(hwnd_, HelpFilePath(), HELP_CONTEXT, IDH_TARNWALL_WAYGUARD);
      result = TRUE;
      return true;
    case WM_QUERYENDSESSION:
      result = TRUE;
      return true;
    case WM_ENDSESSION:
      // The process may be ended as soon as this returns: the prompt's request goes back
      // (or gets its chosen answer), a line still in the mailbox is taken, and the log is
      // written out, all before returning.
      if (wParam) {
        EndPromptsWithSession();
        PFW_TRAFFIC record;
        if (PFW_GetGlobalTraffic(&record)) log_.Append(PFW_GetLogFileName(), TrafficText(record));
        Quit();
      }
      result = 0;
      return true;
  }
  return false;
}

}  // namespace wayguard
