// help_topics.h - which topic of the help file Edictor opens for a window, a command or a
// dialog, and the one call through which every help request goes.
//
// The topics' map numbers are those of resources/help/tarnwall_help.h; a place with no
// topic of its own falls back to the editor's main topic.
#pragma once
#include <windows.h>

#include <string>

#include "dialog.h"

namespace edictor {

// The topic of a control of the form (a tree, the list, a light or caption, the tabs).
ULONG_PTR HelpTopicForControl(int controlId);
// The topic of a menu, toolbar or context-menu command.
ULONG_PTR HelpTopicForCommand(UINT commandId);
// The topic of a dialog by its template.
ULONG_PTR HelpTopicForDialog(UINT templateId);
// The topic of the form's control `controlId` when F1 is pressed in it, or of the dialog
// that holds it when `dialogTemplate` is not 0.
ULONG_PTR HelpTopicForFocus(UINT dialogTemplate, int controlId);

// The help file every request opens: set once at start, from the Windows directory.
void SetHelpFilePath(const std::string& path);
const std::string& HelpFilePath();
// Opens `command` (HELP_CONTEXT with a topic, HELP_CONTENTS, HELP_FINDER) in the help
// viewer, owned by `owner`; says "Failed to launch help." when the viewer cannot start.
void OpenHelp(HWND owner, UINT command, ULONG_PTR data);

// An Edictor dialog that answers F1 (WM_HELP) and its Help button with its own topic.
// A modal dialog's loop has no accelerators: while one is open, a message filter turns
// F1 into WM_HELP for the dialog the key was pressed in (and drops the system's own
// WM_KEYF1, so that a key makes one request, not two).
class CHelpedDialog : public winui::Dialog {
 public:
  using Dialog::Dialog;
  ~CHelpedDialog() override;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  bool filtering_ = false;
};

// Whether a key message of a modal loop is F1 meant for help: (WM_KEYDOWN, VK_F1) without
// Shift, or the system's WM_KEYF1.
bool IsHelpKey(UINT msg, WPARAM key, bool shiftDown);

}  // namespace edictor
