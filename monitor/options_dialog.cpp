#include "options_dialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <string.h>

#include <string>

#include "controls.h"
#include "seams.h"
#include "stored_options.h"
#include "tessary.h"
#include "wayguard_app.h"
#include "wayguard_ids.h"

namespace wayguard {

namespace {

bool StandsOnPage(int id) {
  switch (id) {
    case IDC_LOG_FULLY_ARMED:
    case IDC_LOG_STAND_BY:
    case IDC_FILENAME_LABEL:
    case IDC_CURRENT_LABEL:
    case IDC_NEW_LABEL:
    case IDC_AGAIN_LABEL:
    case IDC_TIMER_LABEL:
    case IDC_MINUTES_LABEL:
      return true;
    default:
      return false;
  }
}

}  // namespace

COptionsDialog::COptionsDialog(const LoggingSettings& logging, OptionsPage first, Host host)
    : Dialog(IDD_OPTIONS), logging_(logging), first_(first), host_(std::move(host)) {}

int COptionsDialog::Message(const char* text, UINT flags) {
  return winui::ShowMessageBox(hwnd_, text, kCaption, flags);
}

void COptionsDialog::HideAllPages() {
  for (int id : AllPageControls()) ShowItem(id, false);
}

BOOL COptionsDialog::OnInitDialog() {
  HideAllPages();
  winui::TabCtrl tabs(Item(IDC_TAB));
  for (int i = 0; i < kOptionsPageCount; i++) tabs.Insert(i, PageTitle(static_cast<OptionsPage>(i)));
  tabs.SetCurrent(static_cast<int>(first_));
  ShowPage(first_);
  SendItem(IDC_FILENAME, EM_LIMITTEXT, PFW_LOG_FILE_NAME_SIZE + 100);  // room to see a name is too long
  SetItemText(IDC_FILENAME, logging_.fileName.c_str());
  SetCheck(IDC_LOG_FULLY_ARMED, logging_.fullyArmed);
  SetCheck(IDC_LOG_STAND_BY, logging_.standBy);
  pageColour_ = PageColour();
  pageBrush_ = CreateSolidBrush(pageColour_);
  SetWindowSubclass(hwnd_, PageColours, 1, reinterpret_cast<DWORD_PTR>(this));
  SetWindowSubclass(Item(IDC_CHANGE_PASSWORD), DisabledButtonText, 2, 0);
  return TRUE;
}

OptionsPage COptionsDialog::CurrentPage() const { return PageOfTab(winui::TabCtrl(Item(IDC_TAB)).Current()); }

void COptionsDialog::ShowPage(OptionsPage page) {
  PageLook look = LookOfPage(page, TimerActive());
  for (int id : look.shown) ShowItem(id, true);
  for (int id : look.disabled) EnableItem(id, false);
  for (int id : look.emptied) SetItemText(id, "");
  if (look.timerButtonText) SetItemText(IDC_SET_TIMER, look.timerButtonText);
  // The emptying counts as a change: with no password set, the new fields open at once.
  if (page == OptionsPage::kPassword) CurrentPasswordChanged();
}

LRESULT COptionsDialog::OnNotify(NMHDR* header) {
  if (header->idFrom == IDC_TAB && header->code == TCN_SELCHANGE) {
    HideAllPages();
    ShowPage(CurrentPage());
  }
  return 0;
}

// The page's colour as the tab paints it, read off a picture of the tab: a point low on the
// page, where no control stands.
COLORREF COptionsDialog::PageColour() const {
  HWND tab = Item(IDC_TAB);
  RECT client;
  GetClientRect(tab, &client);
  RECT page = client;
  SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  COLORREF colour = GetSysColor(COLOR_BTNFACE);
  HDC screen = GetDC(tab);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP picture = CreateCompatibleBitmap(screen, client.right, client.bottom);
  if (dc && picture) {
    HGDIOBJ old = SelectObject(dc, picture);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    SendMessageA(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    COLORREF seen = GetPixel(dc, (page.left + page.right) / 2, page.bottom - 3);
    if (seen != CLR_INVALID) colour = seen;
    SelectObject(dc, old);
  }
  if (picture) DeleteObject(picture);
  if (dc) DeleteDC(dc);
  ReleaseDC(tab, screen);
  return colour;
}

// The check boxes and labels fill their background with the brush their dialog gives them,
// the dialog's grey by default; they stand on the tab's page, so they get the page's colour.
// (The edits keep theirs: a disabled edit is grey on purpose.) A
// dialog procedure hands a brush back as its own result, which the framework's routing does
// not do: this subclass of the dialog window does.
LRESULT CALLBACK COptionsDialog::PageColours(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR data) {
  auto* self = reinterpret_cast<COptionsDialog*>(data);
  if ((msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) && self->pageBrush_) {
    if (StandsOnPage(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)))) {
      SetBkColor(reinterpret_cast<HDC>(wParam), self->pageColour_);
      return reinterpret_cast<LRESULT>(self->pageBrush_);
    }
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// Wine draws a disabled button's embossed text a column short ("Change Passworc"), however
// wide the button. Disabled, the button is drawn as usual and its text then drawn again,
// whole, in the system's grey.
LRESULT CALLBACK COptionsDialog::DisabledButtonText(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                    DWORD_PTR) {
  if (msg != WM_PAINT || IsWindowEnabled(hwnd)) return DefSubclassProc(hwnd, msg, wParam, lParam);
  LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
  char text[64] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  RECT inside;
  GetClientRect(hwnd, &inside);
  InflateRect(&inside, -3, -3);
  HDC dc = GetDC(hwnd);
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
  FillRect(dc, &inside, GetSysColorBrush(COLOR_BTNFACE));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  DrawTextA(dc, text, -1, &inside, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  ReleaseDC(hwnd, dc);
  return result;
}

void COptionsDialog::OnDestroy() {
  RemoveWindowSubclass(Item(IDC_CHANGE_PASSWORD), DisabledButtonText, 2);
  RemoveWindowSubclass(hwnd_, PageColours, 1);
  if (pageBrush_) DeleteObject(pageBrush_);
  pageBrush_ = nullptr;
}

bool COptionsDialog::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_BROWSE:
      if (code == BN_CLICKED) Browse();
      return true;
    case IDC_CURRENT_PASSWORD:
      if (code == EN_CHANGE) CurrentPasswordChanged();
      return true;
    case IDC_CHANGE_PASSWORD:
      if (code == BN_CLICKED) ChangePassword();
      return true;
    case IDC_SET_TIMER:
      if (code == BN_CLICKED) PressTimer();
      return true;
  }
  return Dialog::OnCommand(id, code, control);
}

void COptionsDialog::Browse() {
  char file[MAX_PATH] = "";
  lstrcpynA(file, logging_.fileName.c_str(), sizeof file);
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  // Owned by this dialog, so that the options stay modal under the file chooser.
  ofn.hwndOwner = hwnd_;
  ofn.lpstrFilter = "Log Files (*.log)\0*.log\0\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrDefExt = "log";
  ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  if (GetOpenFileNameA(&ofn)) SetItemText(IDC_FILENAME, file);
}

void COptionsDialog::OnOK() {
  LoggingSettings taken{GetItemText(IDC_FILENAME), IsChecked(IDC_LOG_FULLY_ARMED), IsChecked(IDC_LOG_STAND_BY)};
  if (std::optional<std::string> refusal = RefuseLogging(taken)) {
    Message(refusal->c_str(), MB_OK | MB_ICONEXCLAMATION);
    SetFocus(Item(IDC_FILENAME));
    return;
  }
  logging_ = taken;
  EndDialog(IDOK);
}

void COptionsDialog::CurrentPasswordChanged() {
  if (!OpensNewPassword(GetItemText(IDC_CURRENT_PASSWORD), PFW_GetPassword())) return;
  for (int id : NewPasswordControls()) EnableItem(id, true);
}

void COptionsDialog::ChangePassword() {
  std::string fresh = GetItemText(IDC_NEW_PASSWORD);
  PasswordChange change = CheckPasswordChange(fresh, GetItemText(IDC_AGAIN_PASSWORD));
  if (change.accepted) {
    PFW_SetPassword(fresh.c_str());
    ChangeStoredOptions([&](PFW_OPTIONS& o) {
      memset(o.password, 0, sizeof o.password);
      memcpy(o.password, fresh.c_str(), fresh.size());
    });
  }
  Message(change.message.c_str(), change.flags);
}

void COptionsDialog::PressTimer() {
  TimerPress press = PressTimerButton(TimerActive(), GetItemText(IDC_MINUTES));
  if (!press.message.empty()) Message(press.message.c_str(), press.flags);
  if (!press.change) return;
  for (int id : MinutesControls()) EnableItem(id, press.minutesUsable);
  SetItemText(IDC_SET_TIMER, press.buttonText);
  timerChange_ = press.change;
  if (host_.changeTimer) host_.changeTimer(*press.change);
}

}  // namespace wayguard
