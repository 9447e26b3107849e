// editor_fixture.h - Edictor's windows made inside the test program, a rule set in the
// shared lists and the registry, and helpers that read trees and lists back as text and
// answer modal dialogs from inside their own message loops.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialog_script.h"
#include "main_frame.h"
#include "registry_fixture.h"
#include "seams.h"

// One level per line, two spaces of indent per level: "text [picture]".
std::string DumpTree(const winui::TreeCtrl& tree);
// "col0|col1|col2|col3|col4" per row, in the list's order.
std::vector<std::string> DumpList(const winui::ListCtrl& list);
// The text of a window or control.
std::string WindowText(HWND hwnd);
// Saves a picture of `hwnd` under <build>/screenshots/<name>.bmp.
void Screenshot(HWND hwnd, const char* name);

// Runs messages through the frame's own loop step (CMainFrame::PreTranslateMessage, then
// dispatch) until `done`; fails the test naming `what` when `ms` pass first.
bool PumpFrameUntil(edictor::CMainFrame& frame, const std::function<bool()>& done, DWORD ms, const char* what);
// A key as the keyboard delivers it: the key-down (and up) posted to the focus window
// `to`, with Shift held when asked, run through the frame's loop.
void PressKey(edictor::CMainFrame& frame, HWND to, UINT key, bool shift = false, bool system = false);
// The screen point at the middle of a tree node's label.
POINT NodePoint(HWND tree, HTREEITEM item);
// A click of `code` (NM_CLICK, NM_RCLICK, NM_DBLCLK) on a node, told to the view as its
// tree tells it, with the cursor on the node.
void NotifyNodeClick(HWND view, HWND tree, HTREEITEM item, UINT code);

// Common dialog actions.
void Click(HWND dialog, int id);
void SetText(HWND dialog, int id, const char* text);
// Selects the combo-box item with this text.
bool Choose(HWND dialog, int boxId, const char* text);

class EditorTest : public PersistTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Objects and rules put straight into the shared lists; each returns the new key.
  int Protocol(const char* name, int transport, unsigned port);
  int Address(const char* name, const char* low, const char* high = nullptr);
  int App(const char* name, const char* description);
  int Rule(int protocol, int address, int app, int direction, int action);

  // Starts an editor in this process on the lists, as edictor.exe does after its claim
  // (the frame does not post WM_QUIT when it ends).
  void Open();
  void Close();
  edictor::CEdictorApp& app() { return *app_; }
  edictor::CTreeDialog& view() { return app_->view(); }
  edictor::CMainFrame& frame() { return app_->frame(); }
  HWND frameHwnd() { return app_->frame().hwnd(); }

  // Message boxes shown while the hook is on; each is answered with `answer`.
  std::vector<winui::MessageBoxCall> boxes;
  int answer = IDOK;

  std::unique_ptr<edictor::CEdictorApp> app_;
};
