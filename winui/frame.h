// winui::FrameWindow - a main window with a menu, an optional status bar, and one form
// view (a child dialog from a template with WS_CHILD) that fills the rest of the client
// area.
//
// Commands from the menu, accelerators and the form's buttons all reach OnCommand; what the
// frame does not claim goes on to the form as WM_COMMAND. OnMenuSelect lets a subclass put
// a prompt in the status bar. The message loop (RunMessageLoop) feeds accelerators and
// dialog keys (Tab, arrows) to the frame's form and to modeless dialogs.
#pragma once
#include <windows.h>

#include "dialog.h"
#include "window.h"

namespace winui {

class FrameWindow : public Window {
 public:
  // Creates the frame with `menuId` (0 for none) and `acceleratorsId` (0 for none),
  // `icon` a resource id (0 for none). The form is made by AttachForm.
  bool CreateFrame(const char* className, const char* title, UINT menuId, UINT acceleratorsId, UINT iconId, int width,
                   int height, bool withStatusBar);
  // Makes `form` (not owned) as the child form; sized to the client area.
  bool AttachForm(Dialog* form);

  Dialog* form() const { return form_; }
  HWND statusBar() const { return statusBar_; }
  HACCEL accelerators() const { return accelerators_; }
  void SetStatusText(const char* text) const;
  // Client area left for the form once status bar and other bars take their room.
  virtual RECT FormArea() const;
  void LayoutForm() const;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Return true when the command was handled here.
  virtual bool OnCommand(int id, int code, HWND control) { return false; }
  virtual LRESULT OnNotify(NMHDR* header) { return 0; }
  virtual void OnMenuSelect(UINT id, UINT flags, HMENU menu) {}
  virtual void OnInitMenuPopup(HMENU menu, UINT index, bool systemMenu) {}
  // Close box or Exit; the default destroys the frame and posts WM_QUIT.
  virtual void OnClose();
  virtual void OnDestroy() {}

  Dialog* form_ = nullptr;
  HWND statusBar_ = nullptr;
  HACCEL accelerators_ = nullptr;
};

// Runs the message loop until WM_QUIT, giving `accelerators` (may be null) to `frame`
// first and dialog keys to whichever dialog holds the focus. Returns WM_QUIT's code.
int RunMessageLoop(HWND frame, HACCEL accelerators);

// Processes the messages now waiting, without blocking (for tests and waits).
void PumpMessages();
// Pumps messages for about `ms` milliseconds, or until `done` returns true.
template <typename Done>
bool PumpUntil(Done done, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    PumpMessages();
    if (done()) return true;
    if (GetTickCount() - start >= ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

}  // namespace winui
