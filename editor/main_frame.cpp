#include "main_frame.h"

#include <commctrl.h>
#include <shellapi.h>
#include <string.h>

#include "controls.h"
#include "edictor_app.h"
#include "edictor_ids.h"
#include "help/tarnwall_help.h"
#include "seams.h"
#include "window.h"

namespace edictor {

std::string CommandPrompt(UINT id) {
  std::string text = winui::LoadText(id);
  return text.substr(0, text.find('\n'));
}

std::string CommandTip(UINT id) {
  std::string text = winui::LoadText(id);
  size_t newline = text.find('\n');
  return newline == std::string::npos ? std::string() : text.substr(newline + 1);
}

// --- About and feedback -------------------------------------------------------------------

CAboutDialog::CAboutDialog() : CHelpedDialog(IDD_ABOUT) {}

CAboutDialog::~CAboutDialog() {
  if (picture_) DestroyIcon(picture_);
}

BOOL CAboutDialog::OnInitDialog() {
  // The program's picture at its full 48 pixels, not the 32 an icon control loads.
  picture_ = static_cast<HICON>(LoadImageA(winui::Instance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 48, 48, 0));
  if (picture_) SendItem(IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(picture_));
  return TRUE;
}

std::function<void(HWND, const char*)> CFeedbackDialog::shellOpen = [](HWND owner, const char* path) {
  ShellExecuteA(owner, "open", path, nullptr, "c:", SW_SHOWNORMAL);
};

CFeedbackDialog::CFeedbackDialog() : CHelpedDialog(IDD_FEEDBACK) {}

std::string CFeedbackDialog::FeedbackPath() {
  char path[260] = "";
  UINT length = GetWindowsDirectoryA(path, sizeof path);
  if (length == 0 || length >= sizeof path) path[0] = '\0';
  strncat(path, "\\feedback.url", sizeof path - strlen(path) - 1);
  return path;
}

bool CFeedbackDialog::OnCommand(int id, int code, HWND control) {
  if (id == IDC_FEEDBACK_BROWSE && code == BN_CLICKED) {
    // What the shell makes of it is its own affair: a missing shortcut says nothing here.
    if (shellOpen) shellOpen(hwnd_, FeedbackPath().c_str());
    EndDialog(IDOK);
    return true;
  }
  return Dialog::OnCommand(id, code, control);
}

// --- The frame ------------------------------------------------------------------------------

bool CMainFrame::Create(CTreeDialog* view) {
  view_ = view;
  std::string title = CEdictorDoc().Title();
  if (!CreateFrame(kFrameClass, title.c_str(), IDR_MAINFRAME, IDR_MAINFRAME, IDR_MAINFRAME, 600, 400, true))
    return false;
  LONG_PTR style = GetWindowLongPtrA(hwnd_, GWL_STYLE);
  SetWindowLongPtrA(hwnd_, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_THICKFRAME | WS_MAXIMIZEBOX));
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  // Loaded as the frame's own copy, and destroyed with the frame.
  smallIcon_ =
      static_cast<HICON>(LoadImageA(winui::Instance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));
  if (smallIcon_) SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  // A frame that cannot be resized has no use for a size grip.
  if (statusBar_) {
    SetWindowLongPtrA(statusBar_, GWL_STYLE, GetWindowLongPtrA(statusBar_, GWL_STYLE) & ~SBARS_SIZEGRIP);
    SetStatusText(" ");
  }
  CreateToolbar();
  if (!AttachForm(view)) {
    DestroyWindow(hwnd_);
    return false;
  }
  return true;
}

void CMainFrame::CreateToolbar() {
  toolbar_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr,
                             WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP | CCS_NODIVIDER, 0, 0, 0,
                             0, hwnd_, nullptr, winui::Instance(), nullptr);
  if (!toolbar_) return;
  SendMessageA(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  toolbarImages_ = winui::ImageList::Create(16, 16, 4, 4);
  toolbarImages_.AddBitmap(IDB_TOOLBAR, RGB(255, 255, 255));
  SendMessageA(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbarImages_.handle()));
  // Lock and Set Timer belong to the monitor: shown, never usable here.
  TBBUTTON buttons[] = {
      {0, ID_RULE_ADD, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
      {1, ID_RULE_DELETE, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
      {8, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
      {2, ID_TOOLS_LOCK, 0, BTNS_BUTTON, {}, 0, 0},
      {3, ID_TOOLS_TIMER, 0, BTNS_BUTTON, {}, 0, 0},
  };
  SendMessageA(toolbar_, TB_ADDBUTTONSA, sizeof buttons / sizeof buttons[0], reinterpret_cast<LPARAM>(buttons));
  SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
}

void CMainFrame::MoveToolbar(ToolbarEdge edge) {
  if (!toolbar_) return;
  edge_ = edge;
  // Along the top the control sizes and places itself; elsewhere the frame does.
  static const DWORD styles[] = {CCS_TOP, CCS_BOTTOM | CCS_NOPARENTALIGN | CCS_NORESIZE,
                                 CCS_LEFT | CCS_NOPARENTALIGN | CCS_NORESIZE,
                                 CCS_RIGHT | CCS_NOPARENTALIGN | CCS_NORESIZE};
  LONG_PTR style = GetWindowLongPtrA(toolbar_, GWL_STYLE) &
                   ~static_cast<LONG_PTR>(CCS_TOP | CCS_BOTTOM | CCS_VERT | CCS_NOPARENTALIGN | CCS_NORESIZE);
  SetWindowLongPtrA(toolbar_, GWL_STYLE, style | styles[edge]);
  // Standing upright, each button starts a row of its own.
  bool upright = edge == kEdgeLeft || edge == kEdgeRight;
  int count = static_cast<int>(SendMessageA(toolbar_, TB_BUTTONCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TBBUTTON button{};
    SendMessageA(toolbar_, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
    TBBUTTONINFOA info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_STATE | TBIF_BYINDEX;
    info.fsState = static_cast<BYTE>(upright ? (button.fsState | TBSTATE_WRAP) : (button.fsState & ~TBSTATE_WRAP));
    SendMessageA(toolbar_, TB_SETBUTTONINFOA, i, reinterpret_cast<LPARAM>(&info));
  }
  PlaceToolbar();
  if (view_ && view_->hwnd()) FitToForm();
}

RECT CMainFrame::ClientLessStatusBar() const {
  // By style, not by visibility: the frame is laid out before it is first shown.
  RECT area;
  GetClientRect(hwnd_, &area);
  if (statusBar_ && (GetWindowLongPtrA(statusBar_, GWL_STYLE) & WS_VISIBLE)) {
    RECT bar;
    GetWindowRect(statusBar_, &bar);
    area.bottom -= bar.bottom - bar.top;
  }
  return area;
}

RECT CMainFrame::FormArea() const {
  RECT area = ClientLessStatusBar();
  if (!toolbar_ || !(GetWindowLongPtrA(toolbar_, GWL_STYLE) & WS_VISIBLE)) return area;
  RECT bar;
  GetWindowRect(toolbar_, &bar);
  int width = bar.right - bar.left, height = bar.bottom - bar.top;
  switch (edge_) {
    case kEdgeTop:
      area.top += height;
      break;
    case kEdgeBottom:
      area.bottom -= height;
      break;
    case kEdgeLeft:
      area.left += width;
      break;
    case kEdgeRight:
      area.right -= width;
      break;
  }
  return area;
}

void CMainFrame::FitToForm() {
  RECT form = {0, 0, 335, 191};
  MapDialogRect(view_->hwnd(), &form);
  // Grow or shrink the frame until the area left for the form is the form's size.
  for (int pass = 0; pass < 3; ++pass) {
    RECT area = FormArea();
    int dx = form.right - (area.right - area.left), dy = form.bottom - (area.bottom - area.top);
    if (dx == 0 && dy == 0) break;
    RECT now;
    GetWindowRect(hwnd_, &now);
    SetWindowPos(hwnd_, nullptr, 0, 0, now.right - now.left + dx, now.bottom - now.top + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  PlaceToolbar();
  LayoutForm();
}

void CMainFrame::PlaceToolbar() {
  if (!toolbar_) return;
  if (edge_ == kEdgeTop) {
    SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
    return;
  }
  // At the bottom it sits above the status bar; at a side it runs the client's height,
  // one button wide.
  RECT client = ClientLessStatusBar();
  DWORD button = static_cast<DWORD>(SendMessageA(toolbar_, TB_GETBUTTONSIZE, 0, 0));
  int thick = (edge_ == kEdgeBottom ? HIWORD(button) : LOWORD(button)) + 6;
  RECT place = client;
  if (edge_ == kEdgeBottom) place.top = client.bottom - thick;
  if (edge_ == kEdgeLeft) place.right = client.left + thick;
  if (edge_ == kEdgeRight) place.left = client.right - thick;
  SetWindowPos(toolbar_, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CMainFrame::ForwardKeyToEdit(UINT key) {
  // While a label is being edited, Insert and Delete are the edit box's keys, not commands.
  HWND focus = GetFocus();
  char name[16] = "";
  if (!focus || !GetClassNameA(focus, name, sizeof name) || lstrcmpiA(name, "Edit") != 0) return false;
  SendMessageA(focus, WM_KEYDOWN, key, 0);
  SendMessageA(focus, WM_KEYUP, key, 0);
  return true;
}

void CMainFrame::Help(UINT command, ULONG_PTR data) { OpenHelp(hwnd_, command, data); }

void CMainFrame::EndHelpMode(POINT* clicked) {
  helpMode_ = false;
  ReleaseCapture();
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  if (clicked) Help(HELP_CONTEXT, TopicAt(*clicked));
}

namespace {
// The form's control that holds `window` (itself, or an edit box inside a tree), or null.
HWND FormControlOf(HWND form, HWND window) {
  while (window && GetParent(window) != form) window = GetParent(window);
  return window;
}
}  // namespace

ULONG_PTR CMainFrame::FocusHelpTopic() const {
  HWND form = view_ ? view_->hwnd() : nullptr;
  HWND control = form ? FormControlOf(form, GetFocus()) : nullptr;
  return control ? HelpTopicForControl(GetDlgCtrlID(control)) : HelpTopicForControl(0);
}

ULONG_PTR CMainFrame::TopicAt(POINT client) const {
  HWND child = ChildWindowFromPointEx(hwnd_, client, CWP_SKIPINVISIBLE);
  if (child && child == toolbar_) {
    POINT at = client;
    MapWindowPoints(hwnd_, toolbar_, &at, 1);
    int index = static_cast<int>(SendMessageA(toolbar_, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&at)));
    TBBUTTON button{};
    if (index >= 0 && SendMessageA(toolbar_, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button)))
      return HelpTopicForCommand(static_cast<UINT>(button.idCommand));
  }
  if (!view_ || !view_->hwnd() || child != view_->hwnd()) return HelpTopicForControl(0);
  POINT at = client;
  MapWindowPoints(hwnd_, view_->hwnd(), &at, 1);
  HWND control = ChildWindowFromPointEx(view_->hwnd(), at, CWP_SKIPINVISIBLE);
  return HelpTopicForControl(control && control != view_->hwnd() ? GetDlgCtrlID(control) : 0);
}

bool CMainFrame::OnHelp(const HELPINFO* info) {
  // F1 with a menu open names the highlighted command; otherwise the window it came from.
  if (info->iContextType == HELPINFO_MENUITEM) {
    Help(HELP_CONTEXT, HelpTopicForCommand(static_cast<UINT>(info->iCtrlId)));
    return true;
  }
  HWND form = view_ ? view_->hwnd() : nullptr;
  HWND control = form ? FormControlOf(form, static_cast<HWND>(info->hItemHandle)) : nullptr;
  Help(HELP_CONTEXT, HelpTopicForControl(control ? GetDlgCtrlID(control) : 0));
  return true;
}

bool CMainFrame::OnContextMenuKey(MSG* msg) {
  // Shift+F10 and the menu key ask for the context menu of the focused tree or list;
  // their releases are taken too (F10's would open the menu bar).
  bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  bool down = (msg->message == WM_SYSKEYDOWN && msg->wParam == VK_F10 && shift) ||
              (msg->message == WM_KEYDOWN && msg->wParam == VK_APPS);
  bool up =
      (msg->message == WM_SYSKEYUP || msg->message == WM_KEYUP) && (msg->wParam == VK_F10 || msg->wParam == VK_APPS);
  if (up && contextKeyDown_) {
    contextKeyDown_ = false;
    return true;
  }
  HWND form = view_ ? view_->hwnd() : nullptr;
  if (!down || !form || !msg->hwnd) return false;
  // Only keys pressed in a tree or the list itself: a label's edit box keeps its own menu.
  HWND control = FormControlOf(form, msg->hwnd);
  if (!control || control != msg->hwnd) return false;
  contextKeyDown_ = true;
  view_->OpenContextMenuFromKeys(control);
  return true;
}

bool CMainFrame::PreTranslateMessage(MSG* msg) {
  // Escape leaves help mode wherever the focus is: the form would take it as its Cancel.
  if (helpMode_ && msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
    EndHelpMode(nullptr);
    return true;
  }
  if (OnContextMenuKey(msg)) return true;
  if (accelerators_ && TranslateAcceleratorA(hwnd_, accelerators_, msg)) return true;
  // The dialog that holds the focus gets its keys (Tab, Enter, arrows).
  HWND root = msg->hwnd ? GetAncestor(msg->hwnd, GA_ROOT) : nullptr;
  HWND dialog = msg->hwnd ? GetParent(msg->hwnd) : nullptr;
  if (dialog && winui::Dialog::FromHandle(dialog) && IsDialogMessageA(dialog, msg)) return true;
  return root && root != hwnd_ && winui::Dialog::FromHandle(root) && IsDialogMessageA(root, msg);
}

bool CMainFrame::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case ID_APP_EXIT_CMD:
      PostMessageA(hwnd_, WM_CLOSE, 0, 0);
      return true;
    case ID_RULE_ADD:
    case ID_RULE_DELETE:
      if (code == 1 && ForwardKeyToEdit(id == ID_RULE_DELETE ? VK_DELETE : VK_INSERT)) return true;
      // From the menu, the keys or the toolbar alike: the view acts on its current record.
      if (view_ && view_->hwnd()) SendMessageA(view_->hwnd(), WM_COMMAND, static_cast<WPARAM>(id), 0);
      return true;
    case ID_TOOLS_LOCK:
    case ID_TOOLS_TIMER:
      return true;  // the monitor's business: never carried out here
    case ID_HELP_CONTENTS_CMD:
      Help(HELP_CONTENTS, 0);
      return true;
    case ID_HELP_INDEX_CMD:
      Help(HELP_FINDER, 0);
      return true;
    case ID_HELP_CMD:
      Help(HELP_CONTEXT, FocusHelpTopic());
      return true;
    case ID_CONTEXT_HELP_CMD:
      helpMode_ = true;
      SetCapture(hwnd_);
      SetCursor(LoadCursor(nullptr, IDC_HELP));
      return true;
    case ID_HELP_FEEDBACK: {
      CFeedbackDialog feedback;
      feedback.DoModal(hwnd_);
      return true;
    }
    case ID_APP_ABOUT_CMD: {
      CAboutDialog about;
      about.DoModal(hwnd_);
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      return true;
    }
    case ID_TOOLBAR_TOP:
      MoveToolbar(kEdgeTop);
      return true;
    case ID_TOOLBAR_BOTTOM:
      MoveToolbar(kEdgeBottom);
      return true;
    case ID_TOOLBAR_LEFT:
      MoveToolbar(kEdgeLeft);
      return true;
    case ID_TOOLBAR_RIGHT:
      MoveToolbar(kEdgeRight);
      return true;
  }
  return false;
}

LRESULT CMainFrame::OnNotify(NMHDR* header) {
  if (header->code == TTN_GETDISPINFOA) {
    auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
    std::string tip = CommandTip(static_cast<UINT>(header->idFrom));
    lstrcpynA(info->szText, tip.c_str(), sizeof info->szText);
    info->lpszText = info->szText;
    return 0;
  }
  if (header->hwndFrom == toolbar_ && header->code == TBN_HOTITEMCHANGE) {
    auto* hot = reinterpret_cast<NMTBHOTITEM*>(header);
    SetStatusText((hot->dwFlags & HICF_LEAVING) ? " " : CommandPrompt(static_cast<UINT>(hot->idNew)).c_str());
    return 0;
  }
  if (header->hwndFrom == toolbar_ && header->code == NM_RCLICK) {
    // The toolbar goes to whichever edge the user picks.
    HMENU bar = LoadMenuA(winui::Instance(), MAKEINTRESOURCEA(IDR_CONTEXT));
    HMENU menu = GetSubMenu(bar, 1);
    CheckMenuRadioItem(menu, 0, 3, static_cast<UINT>(edge_), MF_BYPOSITION);
    POINT at;
    GetCursorPos(&at);
    UINT command =
        CTreeDialog::trackMenu
            ? CTreeDialog::trackMenu(menu, at, hwnd_)
            : static_cast<UINT>(TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, hwnd_, nullptr));
    DestroyMenu(bar);
    if (command) OnCommand(static_cast<int>(command), 0, nullptr);
    return TRUE;
  }
  return 0;
}

void CMainFrame::OnMenuSelect(UINT id, UINT flags, HMENU menu) {
  // Closed menus, submenus and separators leave the one pane blank.
  if ((flags == 0xFFFF && !menu) || (flags & (MF_POPUP | MF_SEPARATOR))) {
    SetStatusText(" ");
    return;
  }
  std::string prompt = CommandPrompt(id);
  SetStatusText(prompt.empty() ? " " : prompt.c_str());
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && view_) view_->OnActivateView();
      break;
    case WM_SIZE:
      if (statusBar_) SendMessageA(statusBar_, WM_SIZE, 0, 0);
      PlaceToolbar();
      break;
    case WM_SETCURSOR:
      if (helpMode_) {
        SetCursor(LoadCursor(nullptr, IDC_HELP));
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      if (helpMode_) {
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        EndHelpMode(&at);
        return 0;
      }
      break;
    case WM_KEYDOWN:
      if (helpMode_ && wParam == VK_ESCAPE) {
        EndHelpMode(nullptr);
        return 0;
      }
      break;
    case WM_HELP:
      return OnHelp(reinterpret_cast<const HELPINFO*>(lParam)) ? TRUE : FALSE;
    case WM_CAPTURECHANGED:
      if (helpMode_ && reinterpret_cast<HWND>(lParam) != hwnd_) helpMode_ = false;
      break;
    case WM_DESTROY:
      toolbarImages_.Destroy();
      if (smallIcon_) {
        SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, 0);
        DestroyIcon(smallIcon_);
        smallIcon_ = nullptr;
      }
      if (!quitOnDestroy_) {
        OnDestroy();
        return 0;
      }
      break;
  }
  return FrameWindow::WindowProc(msg, wParam, lParam);
}

// --- The application ------------------------------------------------------------------------

namespace {
WinsockStartup g_startup = WSAStartup;
}  // namespace

WinsockStartup SetWinsockStartup(WinsockStartup startup) {
  WinsockStartup old = g_startup;
  g_startup = startup ? startup : WSAStartup;
  return old;
}

bool IsEditorWindow(HWND hwnd) {
  if (!hwnd || !IsWindow(hwnd)) return false;
  HWND root = GetAncestor(hwnd, GA_ROOT);
  char name[64] = "";
  GetClassNameA(root ? root : hwnd, name, sizeof name);
  return strcmp(name, kFrameClass) == 0;
}

CEdictorApp::CEdictorApp() {
  lstrcpynA(helpPath_, winui::HelpFilePath(), sizeof helpPath_);
  SetHelpFilePath(helpPath_);
}

CEdictorApp::~CEdictorApp() { ExitInstance(); }

bool CEdictorApp::ClaimInstance() {
  if (!claim_) claim_.emplace(kInstanceMutexName);
  return claim_->owned();
}

bool CEdictorApp::InitInstance(int showCommand) {
  winui::InitCommonControls();
  frame_.SetHelpPath(helpPath_);
  if (!frame_.Create(&view_)) return false;
  PFW_InitializeGlobalData();
  HWND recorded = PFW_GetGlobalEdictorHwnd();
  // A recorded window that is gone, or is no editor's, belonged to an editor that was
  // killed: it does not stop this one.
  closing_ = recorded && IsEditorWindow(recorded) && recorded != view_.hwnd();
  if (closing_) {
    // Silently: the running editor is not told, and its record stays as it is.
    PostMessageA(frame_.hwnd(), WM_CLOSE, 0, 0);
  } else {
    frame_.FitToForm();
    PFW_SetGlobalEdictorHwnd(view_.hwnd());
    recorded_ = view_.hwnd();
    doc_.Open();
  }
  ShowWindow(frame_.hwnd(), showCommand);
  UpdateWindow(frame_.hwnd());
  // A closing second instance says nothing: the offline message is the running one's.
  if (!closing_) StartWinsock(frame_.hwnd());
  view_.OnActivateView();
  return true;
}

void CEdictorApp::StartWinsock(HWND owner) {
  WSADATA data{};
  if (g_startup(MAKEWORD(2, 2), &data) == 0) {
    winsockStarted_ = true;
    online_ = LOBYTE(data.wVersion) == 2;
  }
  if (!online_) winui::ShowMessageBox(owner, "WinSock startup failed, working in offline mode.", kProgramTitle, MB_OK);
  view_.SetOnline(online_);
}

void CEdictorApp::ExitInstance() {
  // Only a start that the replaceable start-up did for real is undone.
  if (winsockStarted_ && g_startup == WSAStartup) WSACleanup();
  winsockStarted_ = false;
  // Only our own record is taken back: another editor's stays.
  if (recorded_ && PFW_GetGlobalEdictorHwnd() == recorded_) PFW_SetGlobalEdictorHwnd(nullptr);
  recorded_ = nullptr;
  if (frame_.hwnd() && IsWindow(frame_.hwnd())) DestroyWindow(frame_.hwnd());
  doc_.Close();
}

int CEdictorApp::Run() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (frame_.PreTranslateMessage(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  ExitInstance();
  return static_cast<int>(msg.wParam);
}

}  // namespace edictor
