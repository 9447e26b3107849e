// Add Rule - the one way to make a rule: a protocol, an address and an application picked
// from the shared lists (or made on the spot with "Create New"), a direction, an action and
// the log flag. What it accepts is decided by CheckRule and CreateRule (entry_checks.h);
// the dialog (CAddRuleDialog, private to its file) only moves values to and from its boxes.
#pragma once
#include <windows.h>

#include <optional>

#include "rule_view.h"

namespace edictor {

// Shows Add Rule modally over `owner`. Nothing when cancelled; on Add, the new rule's key,
// or -1 when it could not be found after adding it.
std::optional<int> RunAddRuleDialog(HWND owner, const Lists& lists, bool online);

}  // namespace edictor
