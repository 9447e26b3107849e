// The connection prompt: the monitor's side of the prompt channel (tessary.h).
// When the interceptor asks about a connection that an Ask rule governs, the
// monitor shows "Tarnwall" with the connection's direction, program, service
// and remote address; "Allow" (the default) or "Deny" answers it, and with
// "Add this as new rule" ticked "Configure new rule" first makes a rule of the
// answer for this program, protocol and address or their wildcards.
//
// One prompt at a time: requests for the same connection that come while it
// is open are answered with it; others wait their turn. A prompt whose asker
// stops waiting closes by itself. While the monitor is locked the prompt
// answers this one connection only and offers no new rule.
#pragma once
#include <windows.h>

#include <string>

#include "dialog.h"
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

// "Tarnwall" (template IDD_PROMPT_REQUEST).
class CPromptDialog : public winui::Dialog {
public:
    // DoModal's results besides IDOK (allow) and IDC_PROMPT_DENY (deny).
    static constexpr INT_PTR kGone = 2;  // the asker stopped waiting
    CPromptDialog(PFW_PROMPT_BLOCK* channel, const PFW_PROMPT_REQUEST& request, bool locked);
    bool addRule() const { return addRule_; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void Answer(INT_PTR result);
    PFW_PROMPT_BLOCK* channel_;
    PFW_PROMPT_REQUEST request_;
    bool locked_;
    bool addRule_ = false;
};

// "Configure new rule" (template IDD_PROMPT_NEW_RULE).
class CNewRuleDialog : public winui::Dialog {
public:
    CNewRuleDialog(const PFW_PROMPT_REQUEST& request, int action);
    const NewRule& rule() const { return rule_; }
    int ruleKey() const { return ruleKey_; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    PFW_PROMPT_REQUEST request_;
    NewRule rule_;
    int ruleKey_ = -1;
};

// PFW_PROMPT_NOTIFY's handler: shows the waiting requests' prompts one after
// another, owned by the monitor window, until none waits. A call while a
// prompt is open returns at once.
void OnPromptRequest(HWND monitor);

}  // namespace wayguard
