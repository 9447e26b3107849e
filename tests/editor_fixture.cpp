#include "editor_fixture.h"

#include <commctrl.h>

#include "frame.h"
#include "screenshot.h"

using namespace regtest;

namespace {

void DumpLevel(const winui::TreeCtrl& tree, HTREEITEM item, int depth, std::string* out) {
  for (; item; item = tree.Sibling(item)) {
    *out += std::string(static_cast<size_t>(depth) * 2, ' ') + tree.GetText(item) + " [" +
            std::to_string(tree.GetImage(item)) + "]\n";
    DumpLevel(tree, tree.Child(item), depth + 1, out);
  }
}

}  // namespace

std::string DumpTree(const winui::TreeCtrl& tree) {
  std::string out;
  DumpLevel(tree, tree.Root(), 0, &out);
  return out;
}

std::vector<std::string> DumpList(const winui::ListCtrl& list) {
  std::vector<std::string> rows;
  for (int row = 0; row < list.Count(); ++row) {
    std::string text;
    for (int c = 0; c < 5; ++c) {
      if (c) text += '|';
      text += list.GetItemText(row, c);
    }
    rows.push_back(text);
  }
  return rows;
}

std::string WindowText(HWND hwnd) {
  char text[512] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

void Screenshot(HWND hwnd, const char* name) {
  CreateDirectoryA("..\\screenshots", nullptr);
  std::string path = std::string("..\\screenshots\\") + name + ".bmp";
  // The whole screen, once the window has painted afresh, caption included.
  EXPECT_TRUE(winui::SaveScreenshot(hwnd, path.c_str(), true)) << path;
}

bool PumpFrameUntil(edictor::CMainFrame& frame, const std::function<bool()>& done, DWORD ms, const char* what) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (frame.PreTranslateMessage(&msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start >= ms) {
      ADD_FAILURE() << "waited " << ms << " ms for " << what;
      return false;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PressKey(edictor::CMainFrame& frame, HWND to, UINT key, bool shift, bool system) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  keys[key] = 0x80;
  SetKeyboardState(keys);
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(key, 0)) << 16;
  auto handled = [] { return HIWORD(GetQueueStatus(QS_POSTMESSAGE)) == 0; };
  PostMessageA(to, system ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1 | scan);
  PumpFrameUntil(frame, handled, 5000, "the key-down to be handled");
  keys[key] = 0;
  SetKeyboardState(keys);
  PostMessageA(to, system ? WM_SYSKEYUP : WM_KEYUP, key, 1 | scan | 0xC0000000);
  PumpFrameUntil(frame, handled, 5000, "the key-up to be handled");
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
}

POINT NodePoint(HWND tree, HTREEITEM item) {
  RECT rect{};
  memcpy(&rect, &item, sizeof item);  // TVM_GETITEMRECT takes the item in the rectangle
  SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
  POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ClientToScreen(tree, &point);
  return point;
}

void NotifyNodeClick(HWND view, HWND tree, HTREEITEM item, UINT code) {
  POINT point = NodePoint(tree, item);
  SetCursorPos(point.x, point.y);
  NMHDR click{tree, static_cast<UINT_PTR>(GetDlgCtrlID(tree)), code};
  SendMessageA(view, WM_NOTIFY, click.idFrom, reinterpret_cast<LPARAM>(&click));
}

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void SetText(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

bool Choose(HWND dialog, int boxId, const char* text) {
  LRESULT index =
      SendDlgItemMessageA(dialog, boxId, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
  if (index == CB_ERR) return false;
  SendDlgItemMessageA(dialog, boxId, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  return true;
}

void EditorTest::SetUp() {
  PersistTest::SetUp();
  install_starting_set();
  PFW_LoadProtocolSetFromRegistry(protocols);
  PFW_LoadAddressSetFromRegistry(addresses);
  PFW_LoadApplicationSetFromRegistry(apps);
  PFW_LoadRuleSetFromRegistry(rules);
  PFW_InitializeGlobalData();
  PFW_SetGlobalEdictorHwnd(nullptr);
  winui::InitCommonControls();
  winui::SetMessageBoxHook([this](const winui::MessageBoxCall& call) {
    boxes.push_back(call);
    return answer;
  });
}

void EditorTest::TearDown() {
  Close();
  winui::SetMessageBoxHook(nullptr);
  edictor::SetWinsockStartup(nullptr);
  PersistTest::TearDown();
}

int EditorTest::Protocol(const char* name, int transport, unsigned port) {
  PFW_AddProtocol(protocols, 0, name, static_cast<PFW_TRANSPORT>(transport), port);
  int key = -1;
  PFW_PROTO* entry = PFW_GetProtocolByName(protocols, name, &key, nullptr);
  if (entry) PFW_AddProtocolIntoRegistry(*entry);
  return key;
}

int EditorTest::Address(const char* name, const char* low, const char* high) {
  PFW_AddAddress(addresses, 0, ip(low), ip(high ? high : low), name, high ? PFW_NETWORK_ADDRESS : PFW_SINGLE_ADDRESS);
  int key = -1;
  PFW_ADR* entry = PFW_GetAddressByName(addresses, name, &key, nullptr);
  if (entry) PFW_AddAddressIntoRegistry(*entry);
  return key;
}

int EditorTest::App(const char* name, const char* description) {
  PFW_AddApp(apps, 0, name, description);
  int key = -1;
  PFW_APP* entry = PFW_GetExactAppByName(apps, name, &key, nullptr);
  if (entry) PFW_AddApplicationIntoRegistry(*entry);
  return key;
}

int EditorTest::Rule(int protocol, int address, int app, int direction, int action) {
  PFW_AddRule(rules, protocol, address, app, direction, action, 0);
  int key = -1;
  PFW_RULE* entry = PFW_GetRuleByNumbers(rules, protocol, address, app, direction, &key, nullptr);
  if (entry) PFW_AddRuleIntoRegistry(*entry);
  return key;
}

void EditorTest::Open() {
  app_ = std::make_unique<edictor::CEdictorApp>();
  app_->frame().SetQuitOnDestroy(false);
  ASSERT_TRUE(app_->InitInstance(SW_SHOW));
  winui::PumpMessages();
}

void EditorTest::Close() {
  if (!app_) return;
  edictor::Lists held = app_->doc().lists();
  app_->ExitInstance();
  winui::PumpMessages();
  app_.reset();
  // The program never lets go of the lists; a test lets go of this process's views, so
  // that the suite's next case, in the same process, starts from empty lists.
  if (held.rules) PFW_RemoveRuleList(held.rules);
  if (held.apps) PFW_RemoveAppList(held.apps);
  if (held.addresses) PFW_RemoveAddressList(held.addresses);
  if (held.protocols) PFW_RemoveProtocolList(held.protocols);
}
