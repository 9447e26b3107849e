// winui seams: the places where a program talks to the user or the shell in a way a
// test cannot see on screen: message boxes, the notification-area icon and the help
// viewer. Programs call these (ShowMessageBox, NotifyIcon, ShowHelp) instead of MessageBoxA,
// Shell_NotifyIconA and WinHelpA; tests install a hook that records each call and answers it.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

namespace winui {

struct MessageBoxCall {
  HWND owner;
  std::string text;
  std::string caption;
  UINT flags;
};

// With no hook, shows a real message box. A hook returns the button pressed (IDOK, IDYES, ...).
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT flags);
using MessageBoxHook = std::function<int(const MessageBoxCall&)>;
// Installs `hook` (an empty one removes it); returns the one it replaces.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// With no hook, calls Shell_NotifyIconA. A hook sees the call (NIM_ADD, NIM_MODIFY,
// NIM_DELETE and the data) and returns what the shell would.
BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* data);
using NotifyIconHook = std::function<BOOL(DWORD, const NOTIFYICONDATAA&)>;
NotifyIconHook SetNotifyIconHook(NotifyIconHook hook);

struct HelpCall {
  HWND owner;
  std::string path;
  UINT command;    // HELP_CONTEXT, HELP_CONTENTS, HELP_FINDER, ...
  ULONG_PTR data;  // the topic's map number for HELP_CONTEXT
};
// The help file every program opens: the Windows directory, then "\" and the file's
// name; just "\" and the name when the directory cannot be read or is too long.
// Worked out on the first call, the same text for the process's life.
const char* HelpFilePath();
// With no hook, calls WinHelpA. A hook sees the call and returns what WinHelpA would.
BOOL ShowHelp(HWND owner, const char* path, UINT command, ULONG_PTR data);
using HelpHook = std::function<BOOL(const HelpCall&)>;
HelpHook SetHelpHook(HelpHook hook);

}  // namespace winui
