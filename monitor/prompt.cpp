#include "prompt.h"

#include <stdio.h>
#include <string.h>

#include "list_set.h"
#include "seams.h"
#include "unlock_dialog.h"
#include "wayguard_app.h"
#include "wayguard_ids.h"

namespace wayguard {

namespace {

// How often an open prompt looks whether its asker still waits.
constexpr UINT_PTR kAskerTimer = 1;
constexpr UINT kAskerCheckMs = 250;

// The channel, opened again after a failure; kept while the monitor runs.
PFW_PROMPT_BLOCK* g_channel = nullptr;
PFW_PROMPT_BLOCK* Channel() {
  if (!g_channel) g_channel = PFW_OpenPromptChannel();
  return g_channel;
}
// The request on screen, and its answer once the user chose it (-1 before).
uint32_t g_shownId = 0;
int g_chosen = -1;
bool g_sessionEnding = false;
// Answers remembered for the monitor's run.
RememberedAnswers* g_memory = nullptr;
// The prompt whose keys are filtered (one is open at a time).
CPromptDialog* g_filtered = nullptr;

const char kAnyApplication[] = "Any Application";
const char kAnyProtocol[] = "Any Protocol";
const char kAnyAddress[] = "Any Address";

template <size_t N>
std::string Text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

std::string Dotted(uint32_t address) {
  char text[16];
  snprintf(text, sizeof text, "%u.%u.%u.%u", address & 0xFF, (address >> 8) & 0xFF, (address >> 16) & 0xFF,
           (address >> 24) & 0xFF);
  return text;
}

std::string PortText(const PFW_PROMPT_REQUEST& r) {
  return std::string(r.transport == PFW_UDP ? "UDP" : "TCP") + " port " + std::to_string(r.port);
}

// The four lists, joined (or made and loaded from the registry when no other
// program holds them) for one change, and let go after it.
struct Lists : tessary::ListSet {
  Lists() { load_from_registry(); }
};

// The wildcard entry's key, or -1 when the list has none.
template <typename Root, typename Entry, typename ByIndex>
int WildcardKey(Root* root, ByIndex byIndex) {
  Entry entry;
  if (byIndex(root, static_cast<int>(root->any_key), &entry) && entry.any) return static_cast<int>(root->any_key);
  return -1;
}

int ProtocolKey(Lists& l, const PFW_PROMPT_REQUEST& r, bool any) {
  if (any) return WildcardKey<PFW_PROTO_ROOT, PFW_PROTO>(l.protocols, PFW_GetProtocolByIndex);
  int key = -1;
  PFW_PROTO entry;
  if (PFW_GetExactProtocolByService(l.protocols, r.transport, r.port, &key, &entry) && !entry.any) return key;
  // A new entry under the service's name, or its port when the name is unknown or taken.
  std::string name = Text(r.protocol_name);
  if (name.empty() || PFW_GetProtocolByName(l.protocols, name.c_str(), nullptr, nullptr)) name = PortText(r);
  if (!PFW_AddProtocol(l.protocols, 0, name.c_str(), static_cast<PFW_TRANSPORT>(r.transport), r.port)) return -1;
  PFW_PROTO* added = PFW_GetExactProtocolByService(l.protocols, r.transport, r.port, &key, nullptr);
  if (!added) return -1;
  PFW_AddProtocolIntoRegistry(*added);
  return key;
}

int AddressKey(Lists& l, const PFW_PROMPT_REQUEST& r, bool any) {
  if (any) return WildcardKey<PFW_ADR_ROOT, PFW_ADR>(l.addresses, PFW_GetAddressByIndex);
  int key = -1;
  PFW_ADR entry;
  if (PFW_GetExactAddressByRange(l.addresses, r.address, r.address, &key, &entry) && !entry.any) return key;
  std::string name = Dotted(r.address);
  if (!PFW_AddAddress(l.addresses, 0, r.address, r.address, name.c_str(), PFW_SINGLE_ADDRESS)) return -1;
  PFW_ADR* added = PFW_GetExactAddressByRange(l.addresses, r.address, r.address, &key, nullptr);
  if (!added) return -1;
  PFW_AddAddressIntoRegistry(*added);
  return key;
}

int AppKey(Lists& l, const PFW_PROMPT_REQUEST& r, bool any) {
  if (any) return WildcardKey<PFW_APP_ROOT, PFW_APP>(l.apps, PFW_GetAppByIndex);
  int key = -1;
  std::string name = Text(r.program);
  if (PFW_GetExactAppByName(l.apps, name.c_str(), &key, nullptr)) return key;
  if (!PFW_AddApp(l.apps, 0, name.c_str(), name.c_str())) return -1;
  PFW_APP* added = PFW_GetExactAppByName(l.apps, name.c_str(), &key, nullptr);
  if (!added) return -1;
  PFW_AddApplicationIntoRegistry(*added);
  return key;
}

void FillChoices(HWND box, const std::string& own, const char* wildcard) {
  SendMessageA(box, CB_RESETCONTENT, 0, 0);
  SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(own.c_str()));
  SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wildcard));
  SendMessageA(box, CB_SETCURSEL, 0, 0);
}

}  // namespace

const char kAskerStoppedWaiting[] = "The program stopped waiting for this answer.";

PromptLook LookOfPrompt(bool locked) { return PromptLook{!locked, LifeChoiceOffered(locked)}; }

PromptChoice ChoiceOf(bool locked, bool addRuleChecked, long lifeIndex) {
  PromptLook look = LookOfPrompt(locked);
  return PromptChoice{look.addRuleOffered && addRuleChecked,
                      look.lifeOffered ? AnswerLifeOfIndex(lifeIndex) : AnswerLife::kThisConnection};
}

PromptEnd EndOfPrompt(INT_PTR result) {
  if (result == IDOK) return PromptEnd::kAllow;
  if (result == IDC_PROMPT_DENY) return PromptEnd::kDeny;
  if (result == CPromptDialog::kGone) return PromptEnd::kGone;
  return PromptEnd::kNotShown;
}

std::string NewRuleHeading(int action, int direction) {
  return std::string(action == PFW_ALLOW ? "Allow" : "Deny") + " this " +
         (direction == PFW_INBOUND ? "inbound" : "outbound") + " connection:";
}

NewRule NewRuleOf(int action, long application, long protocol, long address) {
  NewRule rule;
  rule.anyApplication = application == 1;
  rule.anyProtocol = protocol == 1;
  rule.anyAddress = address == 1;
  rule.action = action;
  return rule;
}

std::optional<RuleMessage> MessageOfAdd(AddResult result) {
  switch (result) {
    case AddResult::kExists:
      return RuleMessage{"A rule with these parameters already exists!", "Configure new rule",
                         MB_OK | MB_ICONINFORMATION};
    case AddResult::kFailed:
      return RuleMessage{"Rule creation failed!", kPromptCaption, MB_OK};
    default:
      return std::nullopt;
  }
}

bool PromptKeyCounts(DWORD shownAt, DWORD keyTime) {
  return static_cast<int32_t>(keyTime - shownAt) >= static_cast<int32_t>(kPromptKeyGraceMs);
}

POINT PlacePrompt(SIZE size, const RECT& work, const RECT* avoid) {
  auto fits = [&](POINT p) {
    return p.x >= work.left && p.y >= work.top && p.x + size.cx <= work.right && p.y + size.cy <= work.bottom;
  };
  auto clear = [&](POINT p) {
    return !avoid || p.x + size.cx <= avoid->left || p.x >= avoid->right || p.y + size.cy <= avoid->top ||
           p.y >= avoid->bottom;
  };
  LONG cx = (work.left + work.right - size.cx) / 2, cy = (work.top + work.bottom - size.cy) / 2;
  POINT centred{cx > work.left ? cx : work.left, cy > work.top ? cy : work.top};
  if (clear(centred)) return centred;
  const RECT& a = *avoid;
  const POINT tries[4] = {{cx, a.bottom}, {cx, a.top - size.cy}, {a.right, cy}, {a.left - size.cx, cy}};
  for (POINT p : tries)
    if (fits(p)) return p;
  // Nothing fits beside it: the corner of the work area farthest from its centre.
  LONG ax = (a.left + a.right) / 2, ay = (a.top + a.bottom) / 2;
  POINT corner{ax - work.left > work.right - ax ? work.left : work.right - size.cx,
               ay - work.top > work.bottom - ay ? work.top : work.bottom - size.cy};
  return corner;
}

PromptTexts TextsOf(const PFW_PROMPT_REQUEST& r) {
  PromptTexts t;
  t.direction = r.direction == PFW_INBOUND ? "Inbound" : "Outbound";
  t.application = Text(r.program);
  std::string name = Text(r.protocol_name);
  t.service = name.empty() ? PortText(r) : name + " (" + PortText(r) + ")";
  t.address = Dotted(r.address);
  return t;
}

AddResult AddRuleFor(const PFW_PROMPT_REQUEST& r, const NewRule& rule, int* key) {
  Lists l;
  if (!l.ok()) return AddResult::kFailed;
  int p = ProtocolKey(l, r, rule.anyProtocol), a = AddressKey(l, r, rule.anyAddress),
      x = AppKey(l, r, rule.anyApplication);
  if (p < 0 || a < 0 || x < 0) return AddResult::kFailed;
  if (PFW_GetRuleByNumbers(l.rules, p, a, x, r.direction, key, nullptr)) return AddResult::kExists;
  PFW_AddRule(l.rules, p, a, x, r.direction, rule.action, 1);
  PFW_RULE* added = PFW_GetRuleByNumbers(l.rules, p, a, x, r.direction, key, nullptr);
  if (!added) return AddResult::kFailed;
  PFW_AddRuleIntoRegistry(*added);
  NotifyEditor(static_cast<int>(added->key));
  return AddResult::kAdded;
}

void NotifyEditor(int key) {
  // A running editor shows the rule at once; one that was killed left a dead window behind.
  static const UINT message = RegisterWindowMessageA(PFW_RULE_ADDED_MESSAGE_NAME);
  HWND editor = PFW_GetGlobalEdictorHwnd();
  if (message && editor && IsWindow(editor)) PostMessageA(editor, message, static_cast<WPARAM>(key), 0);
}

// --- "Tarnwall" ----------------------------------------------------------------------------

CPromptDialog::CPromptDialog(PFW_PROMPT_BLOCK* channel, const PFW_PROMPT_REQUEST& request, bool locked)
    : Dialog(IDD_PROMPT_REQUEST), channel_(channel), request_(request), locked_(locked) {}

CPromptDialog::~CPromptDialog() { Unhook(); }

BOOL CPromptDialog::OnInitDialog() {
  PromptTexts t = TextsOf(request_);
  SetItemText(IDC_PROMPT_DIRECTION, t.direction.c_str());
  SetItemText(IDC_PROMPT_APPLICATION, t.application.c_str());
  SetItemText(IDC_PROMPT_SERVICE, t.service.c_str());
  SetItemText(IDC_PROMPT_ADDRESS, t.address.c_str());
  // Locked, the monitor changes nothing lasting: this connection only.
  PromptLook look = LookOfPrompt(locked_);
  SetCheck(IDC_PROMPT_ADD_RULE, false);
  ShowItem(IDC_PROMPT_ADD_RULE, look.addRuleOffered);
  EnableItem(IDC_PROMPT_ADD_RULE, look.addRuleOffered);
  // Locked, nothing new is remembered either: the drop-down stays at its first choice.
  HWND life = Item(IDC_PROMPT_LIFE);
  for (int i = 0; i < kAnswerLifeCount; i++)
    SendMessageA(life, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(AnswerLifeText(static_cast<AnswerLife>(i))));
  SendMessageA(life, CB_SETCURSEL, 0, 0);
  EnableItem(IDC_PROMPT_LIFE, look.lifeOffered);
  SendMessageA(hwnd_, DM_SETDEFID, IDOK, 0);
  SetTimer(hwnd_, kAskerTimer, kAskerCheckMs, nullptr);
  // The question comes unbidden, while the user types elsewhere: on top, clear of the
  // unlock dialog, shown without taking the keyboard, and deaf to keys at first.
  RECT own, work;
  GetWindowRect(hwnd_, &own);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT unlock;
  HWND unlockWindow = OpenUnlockWindow();
  bool avoid = unlockWindow && IsWindowVisible(unlockWindow) && GetWindowRect(unlockWindow, &unlock);
  POINT at = PlacePrompt(SIZE{own.right - own.left, own.bottom - own.top}, work, avoid ? &unlock : nullptr);
  shownAt_ = GetTickCount();
  g_filtered = this;
  keyHook_ = SetWindowsHookExA(WH_GETMESSAGE, KeyFilter, nullptr, GetCurrentThreadId());
  SetWindowPos(hwnd_, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  return FALSE;  // no focus set: that would take it from the window the user types in
}

void CPromptDialog::Unhook() {
  if (keyHook_) UnhookWindowsHookEx(keyHook_);
  keyHook_ = nullptr;
  if (g_filtered == this) g_filtered = nullptr;
}

void CPromptDialog::OnDestroy() { Unhook(); }

// Every message this thread takes from its queue passes here while the prompt is open: a
// key for the prompt in its first moments becomes WM_NULL, so no button sees it.
LRESULT CALLBACK CPromptDialog::KeyFilter(int code, WPARAM wParam, LPARAM lParam) {
  auto* msg = reinterpret_cast<MSG*>(lParam);
  CPromptDialog* prompt = g_filtered;
  if (code == HC_ACTION && wParam == PM_REMOVE && prompt && prompt->hwnd_ && msg->message >= WM_KEYFIRST &&
      msg->message <= WM_KEYLAST && (msg->hwnd == prompt->hwnd_ || IsChild(prompt->hwnd_, msg->hwnd)) &&
      !PromptKeyCounts(prompt->shownAt_, msg->time))
    msg->message = WM_NULL;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CPromptDialog::OnMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT&) {
  // The dialog box shows itself when its loop first idles: still without activating it.
  if (msg == WM_WINDOWPOSCHANGING) {
    auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
    if (pos->flags & SWP_SHOWWINDOW) pos->flags |= SWP_NOACTIVATE;
  }
  return false;
}

void CPromptDialog::Answer(INT_PTR result) {
  PromptChoice choice =
      ChoiceOf(locked_, IsChecked(IDC_PROMPT_ADD_RULE), static_cast<long>(SendItem(IDC_PROMPT_LIFE, CB_GETCURSEL)));
  addRule_ = choice.addRule;
  life_ = choice.life;
  KillTimer(hwnd_, kAskerTimer);
  Unhook();
  EndDialog(result);
}

void CPromptDialog::OnOK() { Answer(IDOK); }

// Closing the prompt without a choice stops the connection, as no answer would.
void CPromptDialog::OnCancel() { Answer(IDC_PROMPT_DENY); }

bool CPromptDialog::OnCommand(int id, int code, HWND control) {
  if (id == IDC_PROMPT_DENY && code == BN_CLICKED) {
    Answer(IDC_PROMPT_DENY);
    return true;
  }
  if (id == IDHELP && code == BN_CLICKED) {
    WinHelpA(hwnd_, HelpFilePath(), HELP_FINDER, 0);
    return true;
  }
  return Dialog::OnCommand(id, code, control);
}

void CPromptDialog::OnTimer(UINT_PTR id) {
  if (id != kAskerTimer || PFW_PromptIsWaiting(channel_, request_.id)) return;
  addRule_ = false;
  KillTimer(hwnd_, kAskerTimer);
  Unhook();
  EndDialog(kGone);
}

// --- "Configure new rule" -----------------------------------------------------------------

CNewRuleDialog::CNewRuleDialog(const PFW_PROMPT_REQUEST& request, int action, PFW_PROMPT_BLOCK* channel)
    : Dialog(IDD_PROMPT_NEW_RULE), request_(request), channel_(channel) {
  rule_.action = action;
}

// The user may take longer over the rule than the asker would wait: its expiry is put
// later every second while the dialog is open. An asker that is gone cannot be kept.
void CNewRuleDialog::KeepAskerWaiting() {
  if (!channel_ || askerGone_) return;
  if (PFW_ExtendPrompt(channel_, request_.id, kKeepAliveSpanMs)) return;
  askerGone_ = true;
  KillTimer(hwnd_, kKeepAliveTimer);
  winui::ShowMessageBox(hwnd_, kAskerStoppedWaiting, kPromptCaption, MB_OK | MB_ICONINFORMATION);
}

void CNewRuleDialog::OnTimer(UINT_PTR id) {
  if (id == kKeepAliveTimer) KeepAskerWaiting();
}

BOOL CNewRuleDialog::OnInitDialog() {
  PromptTexts t = TextsOf(request_);
  SetItemText(IDC_RULE_HEADING, NewRuleHeading(rule_.action, request_.direction).c_str());
  FillChoices(Item(IDC_RULE_APPLICATION), t.application, kAnyApplication);
  FillChoices(Item(IDC_RULE_PROTOCOL), t.service, kAnyProtocol);
  FillChoices(Item(IDC_RULE_ADDRESS), t.address, kAnyAddress);
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(hwnd_);  // opened by the user's own click on the prompt
  if (channel_) {
    SetTimer(hwnd_, kKeepAliveTimer, kKeepAliveMs, nullptr);
    KeepAskerWaiting();
  }
  return TRUE;
}

void CNewRuleDialog::OnOK() {
  rule_ = NewRuleOf(rule_.action, static_cast<long>(SendItem(IDC_RULE_APPLICATION, CB_GETCURSEL)),
                    static_cast<long>(SendItem(IDC_RULE_PROTOCOL, CB_GETCURSEL)),
                    static_cast<long>(SendItem(IDC_RULE_ADDRESS, CB_GETCURSEL)));
  if (std::optional<RuleMessage> message = MessageOfAdd(AddRuleFor(request_, rule_, &ruleKey_))) {
    winui::ShowMessageBox(hwnd_, message->text, message->caption, message->flags);
    return;
  }
  EndDialog(IDOK);
}

// --- The monitor's handler ----------------------------------------------------------------

std::optional<int> AnswerFromMemory(RememberedAnswers& memory, const PFW_PROMPT_REQUEST& request, int runMode) {
  if (runMode != PFW_MODE_FILTER) return std::nullopt;
  return memory.Recall(request);
}

RememberedAnswers& MonitorMemory() {
  if (!g_memory) g_memory = new RememberedAnswers();
  return *g_memory;
}

void ReplaceMonitorMemory(RememberedAnswers::Clock clock) {
  delete g_memory;
  g_memory = clock ? new RememberedAnswers(std::move(clock)) : new RememberedAnswers();
}

void OnPromptRequest(HWND monitor) {
  static bool open = false;
  if (open) return;
  g_sessionEnding = false;
  PFW_PROMPT_BLOCK* channel = Channel();
  if (!channel) return;
  open = true;
  PFW_PROMPT_REQUEST request;
  while (!g_sessionEnding && PFW_TakePromptRequest(channel, &request)) {
    // Remembered: answered at once, and the asker is told where the answer came from.
    if (std::optional<int> known = AnswerFromMemory(MonitorMemory(), request, PFW_GetRunMode())) {
      PFW_AnswerPromptFromMemory(channel, request.id, *known);
      continue;
    }
    g_shownId = request.id;
    g_chosen = -1;
    CPromptDialog prompt(channel, request, PFW_GetLockStatus() != 0);
    INT_PTR result = prompt.DoModal(monitor);
    if (g_sessionEnding) break;  // given back or answered by EndPromptsWithSession
    PromptEnd end = EndOfPrompt(result);
    if (end == PromptEnd::kGone) continue;
    if (end == PromptEnd::kNotShown) {
      // Never shown, or torn down under the user: the connection stops, as no answer would.
      PFW_AnswerPrompt(channel, request.id, PFW_DENY);
      break;
    }
    g_chosen = end == PromptEnd::kAllow ? PFW_ALLOW : PFW_DENY;
    MonitorMemory().Remember(request, g_chosen, prompt.life());
    bool told = false;
    // The rule first, so the attempts that follow this answer are decided by it.
    if (prompt.addRule()) {
      CNewRuleDialog configure(request, g_chosen, channel);
      configure.DoModal(monitor);
      told = configure.askerGone();
      if (g_sessionEnding) break;
    }
    if (!PFW_AnswerPrompt(channel, request.id, g_chosen) && !told)
      winui::ShowMessageBox(monitor, kAskerStoppedWaiting, kPromptCaption, MB_OK | MB_ICONINFORMATION);
  }
  g_shownId = 0;
  g_chosen = -1;
  g_sessionEnding = false;
  open = false;
}

void EndPromptsWithSession() {
  g_sessionEnding = true;
  if (!g_shownId || !g_channel) return;
  if (g_chosen == PFW_ALLOW || g_chosen == PFW_DENY)
    PFW_AnswerPrompt(g_channel, g_shownId, g_chosen);
  else
    PFW_ReturnPromptRequest(g_channel, g_shownId);
  g_shownId = 0;
}

}  // namespace wayguard
