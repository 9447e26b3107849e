#include "dialog.h"

#include "window.h"

namespace winui {

Dialog::~Dialog() {
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
    if (!modal_) DestroyWindow(hwnd_);
  }
}

INT_PTR Dialog::DoModal(HWND owner) {
  modal_ = true;
  return DialogBoxParamA(Instance(), MAKEINTRESOURCEA(templateId_), owner, StaticProc, reinterpret_cast<LPARAM>(this));
}

bool Dialog::Create(HWND parent) {
  modal_ = false;
  CreateDialogParamA(Instance(), MAKEINTRESOURCEA(templateId_), parent, StaticProc, reinterpret_cast<LPARAM>(this));
  return hwnd_ != nullptr;
}

void Dialog::EndDialog(INT_PTR result) {
  if (!hwnd_) return;
  if (modal_) {
    ::EndDialog(hwnd_, result);
  } else {
    DestroyWindow(hwnd_);
  }
}

std::string Dialog::GetItemText(int id) const {
  HWND item = Item(id);
  if (!item) return {};
  int length = GetWindowTextLengthA(item);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = GetWindowTextA(item, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

void Dialog::SetItemText(int id, const char* text) const { SetDlgItemTextA(hwnd_, id, text); }

int Dialog::GetItemInt(int id, bool* ok, bool isSigned) const {
  BOOL translated = FALSE;
  int value = static_cast<int>(GetDlgItemInt(hwnd_, id, &translated, isSigned));
  if (ok) *ok = translated != FALSE;
  return value;
}

bool Dialog::IsChecked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void Dialog::SetCheck(int id, bool checked) const { CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED); }

void Dialog::EnableItem(int id, bool enable) const { EnableWindow(Item(id), enable); }

void Dialog::ShowItem(int id, bool show) const { ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }

LRESULT Dialog::SendItem(int id, UINT msg, WPARAM wParam, LPARAM lParam) const {
  return SendDlgItemMessageA(hwnd_, id, msg, wParam, lParam);
}

Dialog* Dialog::FromHandle(HWND hwnd) { return reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER)); }

bool Dialog::OnCommand(int id, int code, HWND control) {
  if (id == IDOK && code == BN_CLICKED) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL && code == BN_CLICKED) {
    OnCancel();
    return true;
  }
  return false;
}

INT_PTR Dialog::Route(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (OnMessage(msg, wParam, lParam, result)) {
    SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
  }
  switch (msg) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY:
      SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, OnNotify(reinterpret_cast<NMHDR*>(lParam)));
      return TRUE;
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Dialog* self;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    self->hwnd_ = hwnd;
  } else {
    self = FromHandle(hwnd);
  }
  if (!self) return FALSE;
  INT_PTR handled = self->Route(msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
  }
  return handled;
}

}  // namespace winui
