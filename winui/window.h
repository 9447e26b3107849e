// winui::Window - a window of our own class whose messages go to a member function.
//
// The object lives as long as its window (or longer); the window finds it through
// GWLP_USERDATA, set at WM_NCCREATE. Subclasses override WindowProc and fall back to
// Window::WindowProc (DefWindowProc) for what they do not handle.
#pragma once
#include <windows.h>

namespace winui {

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Registers `className` once per process (later calls reuse it) and creates the window.
  // Returns false, with no window, when creation fails.
  bool Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x, int y, int width, int height,
              HWND parent, HMENU menu, HICON icon = nullptr, HBRUSH background = nullptr);
  void Destroy();

  HWND hwnd() const { return hwnd_; }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

  // The Window object behind a window made by this class, or null.
  static Window* FromHandle(HWND hwnd);

 protected:
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // Called after the window is gone; the object may be deleted from here.
  virtual void OnFinalDestroy() {}

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// The instance handle of the running module (the program, or the test program).
HINSTANCE Instance();
// Loads a string resource; an empty string when it is missing.
const char* LoadText(UINT id);

}  // namespace winui
