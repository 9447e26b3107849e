// The connection prompt: the monitor's side of the prompt channel (tessary.h).
// When the interceptor asks about a connection that an Ask rule governs, the
// monitor shows "Tarnwall" with the connection's direction, program, service
// and remote address; "Allow" (the default) or "Deny" answers it, and with
// "Add this as new rule" ticked "Configure new rule" first makes a rule of the
// answer for this program, protocol and address or their wildcards.
//
// One prompt at a time: requests for the same connection that come while it
// is open are answered with it; others wait their turn. A prompt whose asker
// stops waiting (its time is up, or it has ended) closes by itself. While the
// monitor is locked the prompt answers this one connection only and offers no
// new rule. While "Configure new rule" is open the asker is kept waiting; an
// asker that is gone meanwhile is reported to the user. A prompt that cannot
// be shown answers Deny; one open when the session ends gives its request back
// (or, with the answer already chosen, sends it).
//
// The prompt's drop-down says how long its answer holds: "This connection
// only" (the default), "For 15 minutes" or "Until Wayguard ends". A longer
// answer is remembered by the monitor for its run (remembered_answers.h), and
// later requests for the same connection in Filter mode are answered from
// memory at once, without a prompt, marked remembered for the asker. Locked,
// the drop-down stays at "This connection only", but what is remembered still
// answers.
//
// The prompt comes unbidden while the user types elsewhere: it is shown
// without being activated, keys that reach it in its first half second do not
// count, and it is placed clear of the unlock dialog.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "dialog.h"
#include "remembered_answers.h"
#include "tessary.h"

namespace wayguard {

// The prompt's four texts for a request.
struct PromptTexts {
  std::string direction;    // "Inbound" or "Outbound"
  std::string application;  // the program's name
  std::string service;      // "HTTP (TCP port 80)", or "TCP port 8080" without a name
  std::string address;      // dotted
};
PromptTexts TextsOf(const PFW_PROMPT_REQUEST& request);

// What "Configure new rule" chose: each part this connection's own or the wildcard.
struct NewRule {
  bool anyApplication = false, anyProtocol = false, anyAddress = false;
  int action = PFW_ALLOW;
};
enum class AddResult { kAdded, kExists, kFailed };
// Adds the rule to the shared lists and the registry, adding the protocol,
// address and application entries it needs that are missing, as the editor's
// Add Rule does; a new rule is logged. key receives the rule's key.
AddResult AddRuleFor(const PFW_PROMPT_REQUEST& request, const NewRule& rule, int* key = nullptr);
// Tells a running editor (the window it recorded, when alive) that rule `key` was added.
void NotifyEditor(int key);

// What the prompt offers: locked, it answers this one connection only, with no new rule
// and nothing new remembered.
struct PromptLook {
  bool addRuleOffered;  // "Add this as new rule" shown and usable
  bool lifeOffered;     // the drop-down of how long the answer holds usable
};
PromptLook LookOfPrompt(bool locked);
// What goes with the answer, from the controls as the user left them; what the prompt did
// not offer counts for nothing, whatever the control says.
struct PromptChoice {
  bool addRule;
  AnswerLife life;
};
PromptChoice ChoiceOf(bool locked, bool addRuleChecked, long lifeIndex);
// How a prompt ended (its DoModal result): answered, its asker gone, or never shown.
enum class PromptEnd { kAllow, kDeny, kGone, kNotShown };
PromptEnd EndOfPrompt(INT_PTR result);
// "Configure new rule": its heading, and the rule its three lists make (index 1 is the
// wildcard, anything else the connection's own).
std::string NewRuleHeading(int action, int direction);
NewRule NewRuleOf(int action, long application, long protocol, long address);
// What adding the rule tells the user (text and caption), or nothing when it was added.
struct RuleMessage {
  const char* text;
  const char* caption;
  UINT flags;
};
std::optional<RuleMessage> MessageOfAdd(AddResult result);

// Keys that reach the prompt this soon after it appeared were meant for another window.
constexpr DWORD kPromptKeyGraceMs = 500;
bool PromptKeyCounts(DWORD shownAt, DWORD keyTime);
// Where the prompt's top-left corner goes: centred in the work area, unless that
// covers `avoid` (the unlock dialog); then below, above, right of or left of it,
// the first that fits, else the work area's corner farthest from it.
POINT PlacePrompt(SIZE prompt, const RECT& work, const RECT* avoid);

// The text the user is given when the asker stopped waiting before its answer reached it.
extern const char kAskerStoppedWaiting[];

// "Tarnwall" (template IDD_PROMPT_REQUEST).
class CPromptDialog : public winui::Dialog {
 public:
  // DoModal's results besides IDOK (allow) and IDC_PROMPT_DENY (deny).
  static constexpr INT_PTR kGone = 2;  // the asker stopped waiting
  CPromptDialog(PFW_PROMPT_BLOCK* channel, const PFW_PROMPT_REQUEST& request, bool locked);
  ~CPromptDialog() override;
  bool addRule() const { return addRule_; }
  AnswerLife life() const { return life_; }
  DWORD shownAt() const { return shownAt_; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  void OnOK() override;
  void OnCancel() override;
  void OnDestroy() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  static LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam);
  void Answer(INT_PTR result);
  void Unhook();
  PFW_PROMPT_BLOCK* channel_;
  PFW_PROMPT_REQUEST request_;
  bool locked_;
  bool addRule_ = false;
  AnswerLife life_ = AnswerLife::kThisConnection;
  DWORD shownAt_ = 0;
  HHOOK keyHook_ = nullptr;
};

// "Configure new rule" (template IDD_PROMPT_NEW_RULE).
class CNewRuleDialog : public winui::Dialog {
 public:
  // With a channel, the request's asker is kept waiting while the dialog is open.
  CNewRuleDialog(const PFW_PROMPT_REQUEST& request, int action, PFW_PROMPT_BLOCK* channel = nullptr);
  const NewRule& rule() const { return rule_; }
  int ruleKey() const { return ruleKey_; }
  // The asker was found gone while the dialog was open, and the user was told.
  bool askerGone() const { return askerGone_; }
  // How often the asker's expiry is put later (on this timer), and by how much.
  static constexpr UINT_PTR kKeepAliveTimer = 1;
  static constexpr UINT kKeepAliveMs = 1000;
  static constexpr unsigned kKeepAliveSpanMs = 10000;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnTimer(UINT_PTR id) override;

 private:
  void KeepAskerWaiting();
  PFW_PROMPT_REQUEST request_;
  NewRule rule_;
  PFW_PROMPT_BLOCK* channel_;
  int ruleKey_ = -1;
  bool askerGone_ = false;
};

// PFW_PROMPT_NOTIFY's handler: shows the waiting requests' prompts one after
// another, owned by the monitor window, until none waits. A call while a
// prompt is open returns at once.
void OnPromptRequest(HWND monitor);
// The answer the monitor gives from memory to a request taken from the
// channel, without a prompt: only in Filter mode (in any other the interceptor
// does not ask, and a request left from before a change of mode is put to the
// user as before); none when nothing is remembered for its connection.
std::optional<int> AnswerFromMemory(RememberedAnswers& memory, const PFW_PROMPT_REQUEST& request, int runMode);
// The monitor's memory of answers, held for its run. Tests put in one with a clock of their own.
RememberedAnswers& MonitorMemory();
void ReplaceMonitorMemory(RememberedAnswers::Clock clock);
// The session ends (WM_ENDSESSION): the request on screen is given back, or
// answered when its answer was already chosen, before the process may be ended.
void EndPromptsWithSession();

}  // namespace wayguard
