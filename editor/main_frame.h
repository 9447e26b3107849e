// CMainFrame - Edictor's main window: a fixed-size frame (no sizing border, no maximize
// box) titled "Tarnwall Edictor" around the one form view, CTreeDialog, sized to fit it;
// and CEdictorApp, which starts the program: the one-editor claim, WinSock, the document's
// lists and the record of the running editor's window.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "edictor_doc.h"
#include "frame.h"
#include "help_topics.h"
#include "instance_claim.h"
#include "tree_dialog.h"

namespace edictor {

// The About box: the program's picture, name, version and maker.
class CAboutDialog : public CHelpedDialog {
 public:
  CAboutDialog();
  ~CAboutDialog() override;

 protected:
  BOOL OnInitDialog() override;

 private:
  HICON picture_ = nullptr;
};

// Feedback: how to reach the makers; "Browse to Tarnwall" opens the feedback shortcut in
// the Windows directory with the shell and closes the dialog.
class CFeedbackDialog : public CHelpedDialog {
 public:
  CFeedbackDialog();
  // The shell's "open" on a file; tests replace it.
  static std::function<void(HWND owner, const char* path)> shellOpen;
  static std::string FeedbackPath();

 protected:
  bool OnCommand(int id, int code, HWND control) override;
};

// The status-bar prompt and the tool tip of a command, from its "prompt\ntip" string.
std::string CommandPrompt(UINT id);
std::string CommandTip(UINT id);

enum ToolbarEdge { kEdgeTop, kEdgeBottom, kEdgeLeft, kEdgeRight };

class CMainFrame : public winui::FrameWindow {
 public:
  // Makes the frame, not yet shown, with `view` as its form (not owned). False when a
  // window could not be made.
  bool Create(CTreeDialog* view);
  // The frame takes the form's size (335 x 191 dialog units) beside its bars.
  void FitToForm();
  CTreeDialog* view() const { return view_; }
  // Tests keep their message queue free of WM_QUIT when a frame ends.
  void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }
  void SetHelpPath(const char* path) { SetHelpFilePath(path); }
  const std::string& helpPath() const { return HelpFilePath(); }
  HWND toolbar() const { return toolbar_; }
  ToolbarEdge toolbarEdge() const { return edge_; }
  void MoveToolbar(ToolbarEdge edge);
  bool inHelpMode() const { return helpMode_; }
  RECT FormArea() const override;
  // One message of the program's loop before it is dispatched: Escape while help mode is
  // on, then the frame's keys and the keys of the dialog that holds the focus. True when
  // the message was used up here.
  bool PreTranslateMessage(MSG* msg);
  // The topic F1 opens where the keyboard focus is now.
  ULONG_PTR FocusHelpTopic() const;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool OnCommand(int id, int code, HWND control) override;
  LRESULT OnNotify(NMHDR* header) override;
  void OnMenuSelect(UINT id, UINT flags, HMENU menu) override;

 private:
  void CreateToolbar();
  void PlaceToolbar();
  RECT ClientLessStatusBar() const;
  void Help(UINT command, ULONG_PTR data);
  bool ForwardKeyToEdit(UINT key);
  void EndHelpMode(POINT* clicked);
  ULONG_PTR TopicAt(POINT client) const;
  bool OnContextMenuKey(MSG* msg);
  bool contextKeyDown_ = false;
  bool OnHelp(const HELPINFO* info);
  CTreeDialog* view_ = nullptr;
  bool quitOnDestroy_ = true;
  HWND toolbar_ = nullptr;
  HICON smallIcon_ = nullptr;
  winui::ImageList toolbarImages_;
  ToolbarEdge edge_ = kEdgeTop;
  bool helpMode_ = false;
};

// WinSock start-up, replaceable so that tests can start Edictor offline.
using WinsockStartup = int(WINAPI*)(WORD, LPWSADATA);
WinsockStartup SetWinsockStartup(WinsockStartup startup);

// True when `hwnd` is a live window whose top-level window is an Edictor frame.
bool IsEditorWindow(HWND hwnd);

// The application: the help file's path, then the document, frame and view, and the
// program's start and end around them.
class CEdictorApp {
 public:
  CEdictorApp();
  ~CEdictorApp();
  CEdictorApp(const CEdictorApp&) = delete;
  CEdictorApp& operator=(const CEdictorApp&) = delete;
  // First thing, before any window: makes this process the one running editor. False
  // when another one runs; the program then ends silently.
  bool ClaimInstance();
  // Makes the frame and view. When another editor's window is recorded, posts itself a
  // close and does nothing more; otherwise records its own view, opens the document,
  // shows the frame (whose first activation builds the view) and starts WinSock.
  bool InitInstance(int showCommand);
  int Run();
  // Cleans WinSock up and takes this editor's record back, if it made them.
  void ExitInstance();
  const char* helpPath() const { return helpPath_; }
  CMainFrame& frame() { return frame_; }
  CTreeDialog& view() { return view_; }
  CEdictorDoc& doc() { return doc_; }
  bool online() const { return online_; }
  bool registered() const { return recorded_ != nullptr; }
  // True in a second editor, which closes itself.
  bool closing() const { return closing_; }

 private:
  void StartWinsock(HWND owner);

  char helpPath_[360] = "";
  std::optional<winui::InstanceClaim> claim_;
  CEdictorDoc doc_;
  CMainFrame frame_;
  CTreeDialog view_{doc_};
  bool winsockStarted_ = false;
  bool online_ = false;
  bool closing_ = false;
  HWND recorded_ = nullptr;
};

}  // namespace edictor
