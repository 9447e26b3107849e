#include "seams.h"

#include <string>
#include <utility>

#include "help/tarnwall_help.h"

namespace winui {

namespace {
MessageBoxHook& messageBoxHook() {
  static MessageBoxHook hook;
  return hook;
}
NotifyIconHook& notifyIconHook() {
  static NotifyIconHook hook;
  return hook;
}
HelpHook& helpHook() {
  static HelpHook hook;
  return hook;
}
}  // namespace

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT flags) {
  if (messageBoxHook()) return messageBoxHook()(MessageBoxCall{owner, text ? text : "", caption ? caption : "", flags});
  return MessageBoxA(owner, text, caption, flags);
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) { return std::exchange(messageBoxHook(), std::move(hook)); }

BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* data) {
  if (notifyIconHook()) return notifyIconHook()(message, *data);
  return Shell_NotifyIconA(message, data);
}

NotifyIconHook SetNotifyIconHook(NotifyIconHook hook) { return std::exchange(notifyIconHook(), std::move(hook)); }

const char* HelpFilePath() {
  static const std::string path = [] {
    char directory[MAX_PATH] = "";
    UINT length = GetWindowsDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) directory[0] = 0;
    return std::string(directory) + "\\" TARNWALL_HELP_FILE_NAME;
  }();
  return path.c_str();
}

BOOL ShowHelp(HWND owner, const char* path, UINT command, ULONG_PTR data) {
  if (helpHook()) return helpHook()(HelpCall{owner, path ? path : "", command, data});
  return WinHelpA(owner, path, command, data);
}

HelpHook SetHelpHook(HelpHook hook) { return std::exchange(helpHook(), std::move(hook)); }

}  // namespace winui
