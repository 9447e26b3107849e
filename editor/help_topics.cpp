#include "help_topics.h"

#include "edictor_ids.h"
#include "help/tarnwall_help.h"
#include "seams.h"

namespace edictor {

ULONG_PTR HelpTopicForControl(int controlId) {
  switch (controlId) {
    case IDC_LIGHT_IN:
    case IDC_CAPTION_IN:
    case IDC_LIGHT_OUT:
    case IDC_CAPTION_OUT:
      return IDH_EDICTOR_DEFAULT_RULES;
    case IDC_TREE_PROTOCOL_IN:
    case IDC_TREE_PROTOCOL_OUT:
      return IDH_EDICTOR_PROTOCOL_TREES;
    case IDC_TREE_ADDRESS_IN:
    case IDC_TREE_ADDRESS_OUT:
      return IDH_EDICTOR_ADDRESS_TREES;
    case IDC_TREE_APP_IN:
    case IDC_TREE_APP_OUT:
      return IDH_EDICTOR_APPLICATION_TREES;
    case IDC_RULE_LIST:
      return IDH_EDICTOR_RULE_LIST;
    default:
      return IDH_TARNWALL_EDICTOR;
  }
}

ULONG_PTR HelpTopicForCommand(UINT commandId) {
  switch (commandId) {
    case ID_APP_EXIT_CMD:
      return IDH_EDICTOR_CMD_EXIT;
    case ID_RULE_ADD:
      return IDH_EDICTOR_CMD_ADD_RULE;
    case ID_RULE_DELETE:
      return IDH_EDICTOR_CMD_DELETE_RULE;
    case ID_TOOLS_LOCK:
      return IDH_EDICTOR_CMD_LOCK;
    case ID_TOOLS_TIMER:
      return IDH_EDICTOR_CMD_TIMER;
    case ID_HELP_CONTENTS_CMD:
      return IDH_EDICTOR_CMD_CONTENTS;
    case ID_HELP_INDEX_CMD:
      return IDH_EDICTOR_CMD_INDEX;
    case ID_HELP_CMD:
    case ID_CONTEXT_HELP_CMD:
      return IDH_EDICTOR_CMD_HELP;
    case ID_HELP_FEEDBACK:
      return IDH_EDICTOR_CMD_FEEDBACK;
    case ID_APP_ABOUT_CMD:
      return IDH_EDICTOR_CMD_ABOUT;
    case ID_ACTION_DENY:
    case ID_ACTION_ASK:
    case ID_ACTION_ALLOW:
    case ID_CONTEXT_ADD:
    case ID_CONTEXT_DELETE:
      return IDH_EDICTOR_CONTEXT_MENU;
    default:
      return IDH_TARNWALL_EDICTOR;
  }
}

ULONG_PTR HelpTopicForDialog(UINT templateId) {
  switch (templateId) {
    case IDD_ADD_RULE:
      return IDH_EDICTOR_ADD_RULE;
    case IDD_ADD_PROTOCOL:
      return IDH_EDICTOR_ADD_PROTOCOL;
    case IDD_ADD_APPLICATION:
      return IDH_EDICTOR_ADD_APPLICATION;
    case IDD_ADD_ADDRESS:
      return IDH_EDICTOR_ADD_ADDRESS;
    case IDD_ABOUT:
      return IDH_EDICTOR_CMD_ABOUT;
    case IDD_FEEDBACK:
      return IDH_EDICTOR_CMD_FEEDBACK;
    default:
      return IDH_TARNWALL_EDICTOR;
  }
}

ULONG_PTR HelpTopicForFocus(UINT dialogTemplate, int controlId) {
  return dialogTemplate && dialogTemplate != IDD_TREE_FORM ? HelpTopicForDialog(dialogTemplate)
                                                           : HelpTopicForControl(controlId);
}

namespace {
std::string& helpPath() {
  static std::string path;
  return path;
}
}  // namespace

void SetHelpFilePath(const std::string& path) { helpPath() = path; }
const std::string& HelpFilePath() { return helpPath(); }

void OpenHelp(HWND owner, UINT command, ULONG_PTR data) {
  if (!winui::ShowHelp(owner, helpPath().c_str(), command, data))
    winui::ShowMessageBox(owner, "Failed to launch help.", "Tarnwall Edictor", MB_OK | MB_ICONEXCLAMATION);
}

namespace {
constexpr UINT kKeyF1 = 0x004D;  // WM_KEYF1: what the system makes of an F1 press
HHOOK g_filter = nullptr;
int g_filterUsers = 0;

LRESULT CALLBACK FilterHelpKey(int code, WPARAM wParam, LPARAM lParam) {
  MSG* msg = reinterpret_cast<MSG*>(lParam);
  if (code >= 0 && msg && IsHelpKey(msg->message, msg->wParam, (GetKeyState(VK_SHIFT) & 0x8000) != 0)) {
    HWND root = msg->hwnd ? GetAncestor(msg->hwnd, GA_ROOT) : nullptr;
    if (root && dynamic_cast<CHelpedDialog*>(winui::Dialog::FromHandle(root))) {
      if (msg->message == WM_KEYDOWN) {
        HELPINFO info{};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.hItemHandle = msg->hwnd;
        info.iCtrlId = GetDlgCtrlID(msg->hwnd);
        GetCursorPos(&info.MousePos);
        SendMessageA(root, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
      }
      return TRUE;
    }
  }
  return CallNextHookEx(g_filter, code, wParam, lParam);
}
}  // namespace

bool IsHelpKey(UINT msg, WPARAM key, bool shiftDown) {
  return msg == kKeyF1 || (msg == WM_KEYDOWN && key == VK_F1 && !shiftDown);
}

CHelpedDialog::~CHelpedDialog() {
  if (filtering_ && --g_filterUsers == 0 && g_filter) {
    UnhookWindowsHookEx(g_filter);
    g_filter = nullptr;
  }
}

bool CHelpedDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg == WM_INITDIALOG && !filtering_) {
    if (!g_filter) g_filter = SetWindowsHookExA(WH_MSGFILTER, FilterHelpKey, nullptr, GetCurrentThreadId());
    if (g_filter) {
      filtering_ = true;
      ++g_filterUsers;
    }
    return false;  // the dialog's own OnInitDialog follows
  }
  bool helpButton = msg == WM_COMMAND && LOWORD(wParam) == IDHELP && HIWORD(wParam) == BN_CLICKED;
  if (msg != WM_HELP && !helpButton) return false;
  OpenHelp(hwnd_, HELP_CONTEXT, HelpTopicForDialog(templateId()));
  result = TRUE;
  return true;
}

}  // namespace edictor
