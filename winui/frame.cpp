#include "frame.h"

#include <commctrl.h>

namespace winui {

bool FrameWindow::CreateFrame(const char* className, const char* title, UINT menuId, UINT acceleratorsId, UINT iconId,
                              int width, int height, bool withStatusBar) {
  HMENU menu = menuId ? LoadMenuA(Instance(), MAKEINTRESOURCEA(menuId)) : nullptr;
  HICON icon = iconId ? LoadIconA(Instance(), MAKEINTRESOURCEA(iconId)) : nullptr;
  if (acceleratorsId) accelerators_ = LoadAcceleratorsA(Instance(), MAKEINTRESOURCEA(acceleratorsId));
  if (!Create(className, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, CW_USEDEFAULT, CW_USEDEFAULT, width, height,
              nullptr, menu, icon)) {
    if (menu) DestroyMenu(menu);
    return false;
  }
  if (withStatusBar) {
    statusBar_ = CreateWindowExA(0, STATUSCLASSNAMEA, " ", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, hwnd_,
                                 nullptr, Instance(), nullptr);
  }
  return true;
}

bool FrameWindow::AttachForm(Dialog* form) {
  form_ = form;
  if (!form_->Create(hwnd_)) return false;
  LayoutForm();
  ShowWindow(form_->hwnd(), SW_SHOW);
  return true;
}

void FrameWindow::SetStatusText(const char* text) const {
  if (statusBar_) SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

RECT FrameWindow::FormArea() const {
  RECT area;
  GetClientRect(hwnd_, &area);
  if (statusBar_ && IsWindowVisible(statusBar_)) {
    RECT bar;
    GetWindowRect(statusBar_, &bar);
    area.bottom -= bar.bottom - bar.top;
  }
  return area;
}

void FrameWindow::LayoutForm() const {
  if (!form_ || !form_->hwnd()) return;
  RECT area = FormArea();
  MoveWindow(form_->hwnd(), area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}

void FrameWindow::OnClose() { DestroyWindow(hwnd_); }

LRESULT FrameWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE:
      if (statusBar_) SendMessageA(statusBar_, WM_SIZE, 0, 0);
      LayoutForm();
      return 0;
    case WM_COMMAND:
      if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
      // Commands the frame leaves go on to the form, as a document view would take them.
      if (form_ && form_->hwnd() && reinterpret_cast<HWND>(lParam) == nullptr)
        return SendMessageA(form_->hwnd(), WM_COMMAND, wParam, lParam);
      break;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_MENUSELECT:
      OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
      return 0;
    case WM_INITMENUPOPUP:
      OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), LOWORD(lParam), HIWORD(lParam) != 0);
      return 0;
    case WM_SETFOCUS:
      if (form_ && form_->hwnd()) SetFocus(form_->hwnd());
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      OnDestroy();
      PostQuitMessage(0);
      return 0;
  }
  return Window::WindowProc(msg, wParam, lParam);
}

int RunMessageLoop(HWND frame, HACCEL accelerators) {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (accelerators && frame && TranslateAcceleratorA(frame, accelerators, &msg)) continue;
    // The dialog that holds the focus gets its keys (Tab, Enter, arrows).
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    HWND dialog = msg.hwnd ? GetParent(msg.hwnd) : nullptr;
    if (dialog && Dialog::FromHandle(dialog) && IsDialogMessageA(dialog, &msg)) continue;
    if (root && root != frame && Dialog::FromHandle(root) && IsDialogMessageA(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave it for the real loop, if there is one.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace winui
