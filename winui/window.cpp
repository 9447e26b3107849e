#include "window.h"

#include <string>
#include <unordered_map>

namespace winui {

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

const char* LoadText(UINT id) {
  // Strings are few and live for the program's life; one copy each.
  static std::unordered_map<UINT, std::string> cache;
  auto it = cache.find(id);
  if (it == cache.end()) {
    char buffer[1024] = "";
    LoadStringA(Instance(), id, buffer, sizeof buffer);
    it = cache.emplace(id, buffer).first;
  }
  return it->second.c_str();
}

Window::~Window() { Destroy(); }

bool Window::Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x, int y, int width,
                    int height, HWND parent, HMENU menu, HICON icon, HBRUSH background) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(Instance(), className, &wc)) {
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = StaticProc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = icon;
    wc.hbrBackground = background ? background : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    if (!RegisterClassExA(&wc)) return false;
  }
  CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu, Instance(), this);
  return hwnd_ != nullptr;
}

void Window::Destroy() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

Window* Window::FromHandle(HWND hwnd) { return reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

LRESULT Window::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  } else {
    self = FromHandle(hwnd);
  }
  if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
  LRESULT result = self->WindowProc(msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->OnFinalDestroy();
  }
  return result;
}

}  // namespace winui
