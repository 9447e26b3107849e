// CAddRuleDialog - the one way to make a rule: a protocol, an address and an application
// picked from the shared lists (or made on the spot with "Create New"), a direction, an
// action and the log flag. A second rule for the same protocol, address, application and
// direction is refused. On OK, resultKey() is the new rule's key, or -1 when the rule could
// not be found after adding it.
#pragma once
#include <windows.h>

#include "dialog.h"
#include "help_topics.h"
#include "rule_view.h"

namespace edictor {

class CAddRuleDialog : public CHelpedDialog {
public:
    CAddRuleDialog(const Lists& lists, bool online);
    int resultKey() const { return resultKey_; }
    int direction() const { return direction_; }
    int action() const { return action_; }
    int log() const { return log_; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;

private:
    // Adds an item with its record and selects it when `select`.
    void AddItem(int boxId, const char* text, const void* record, bool select) const;
    const void* SelectedRecord(int boxId) const;
    void ReadValues();
    void ShowValues() const;
    void CreateNew(int id);

    Lists lists_;
    bool online_;
    int direction_ = -1;
    int action_ = -1;
    int log_ = 0;
    int resultKey_ = -1;
};

}  // namespace edictor
