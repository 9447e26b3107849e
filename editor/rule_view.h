// rule_view.h - what each tree node and list row of Edictor shows, worked out from the
// store's records alone, so that it can be checked without a window.
//
// A rule is shown through its four records (rule, protocol, address, application). Each tab
// groups the same four records in another order; the window code only puts these texts and
// pictures into the controls.
#pragma once
#include <array>
#include <string>
#include <unordered_map>

#include "tessary.h"

namespace edictor {

// The four shared lists every view and dialog of Edictor works on; obtained once per
// process and never released.
struct Lists {
  PFW_PROTO_ROOT* protocols = nullptr;
  PFW_ADR_ROOT* addresses = nullptr;
  PFW_APP_ROOT* apps = nullptr;
  PFW_RULE_ROOT* rules = nullptr;
};

// Picture indexes of the shared tree image list.
enum Picture {
  kPicAllow = 0,
  kPicDeny = 1,
  kPicAsk = 2,
  kPicProtocol = 3,
  kPicApp = 4,
  kPicAddress = 5,
  kPicWebGlobe = 6,
  kPicBrowser = 7,
  kPicMailProgram = 8,
  kPicTerminal = 9,
  kPicMail = 10,
  kPicFileTransfer = 11,
  kPictureCount = 12
};

enum Tab { kTabProtocol = 0, kTabAddress = 1, kTabApplication = 2, kTabList = 3, kTabCount = 4 };
enum Level { kLevelProtocol, kLevelAddress, kLevelApp, kLevelRule };

int ProtocolPicture(unsigned port);
int AppPicture(const char* fileName);
// "Allow", "Deny", "Ask User", or "" for any other action.
const char* ActionWord(int action);
// "ALLOW", "DENY", "ASK", or "": what the Policy column sorts by.
const char* PolicySortText(int action);
const char* DirectionWord(int direction);
// "Inbound: Deny" and the like for the default rules (key 0 inbound, key 1 outbound);
// "" for another action.
std::string DefaultCaption(int direction, int action);
// The traffic light for an action, or -1 when the light is to stay as it is.
int LightPicture(int action);

// How the view's context menu opens over a record: which items are usable and which
// action carries the check mark (-1 none). A light opens it for rule 0 or 1 and disables
// Delete; over nodes and rows unusable items are greyed.
struct MenuState {
  bool actions = false;  // Deny, Ask, Allow
  bool add = true;
  bool remove = false;  // Delete
  bool removeGreyed = true;
  int checked = -1;
};
MenuState ContextMenuState(const void* record, bool onLight);
// The longest new text a rename takes for a record kind; 0 for a rule, which is not renamed.
// The same lengths as the Create New dialogs allow.
int RenameLimit(int kind);

// What a finished label edit asks for. The typed text is compared with the record's text
// as it was, before any cut: a text the user left alone changes nothing, even when it is
// longer than the box allows (made elsewhere). Only a changed text is cut to the limit.
struct RenameOutcome {
  bool change = false;  // false: no message, no write
  bool cut = false;     // the changed text was longer than the limit
  std::string text;     // the text to store
};
RenameOutcome DecideRename(int kind, const std::string& before, const std::string& typed);

// The name of one of the six trees, "Outbound Protocol Tree" and the like.
std::string TreeName(int tab, int direction);

// One rule with the records it names, all pointing into this process's views of the lists.
struct RuleView {
  const PFW_RULE* rule = nullptr;
  const PFW_PROTO* protocol = nullptr;
  const PFW_ADR* address = nullptr;
  const PFW_APP* app = nullptr;
};

// Records already looked up by key, for showing many rules at once: rules share their
// objects, and each object is then asked of the store once.
struct RecordCache {
  std::unordered_map<unsigned, const PFW_PROTO*> protocols;
  std::unordered_map<unsigned, const PFW_ADR*> addresses;
  std::unordered_map<unsigned, const PFW_APP*> apps;
};

// Unlinks `rule` from the shared list and only then deletes its registry value: when the
// unlink fails (the rule went meanwhile), the value named by the same four keys may belong
// to a rule added again since, and stays. False when nothing was deleted.
bool DeleteStoredRule(const Lists& lists, const PFW_RULE* rule);

// Looks the rule and its three records up (four store calls, fewer with a cache); false
// when any is missing. `storeCalls`, when given, counts the calls made.
bool LoadRuleView(const Lists& lists, int key, RuleView* view, RecordCache* cache = nullptr,
                  long* storeCalls = nullptr);

// What one node shows: the record it stands for, its text and picture.
struct Node {
  const void* record = nullptr;
  std::string text;
  int picture = 0;
};
Node NodeFor(const RuleView& view, Level level);
// The four levels of a tab's trees, top first: protocol, address, application or another order.
std::array<Level, 4> TabLevels(int tab);
// The four nodes from the top of a tab's tree down to the rule's leaf.
std::array<Node, 4> TreePath(const RuleView& view, int tab);
// The five column texts of the rule's list row.
std::array<std::string, 5> RowTexts(const RuleView& view);
// The text the list sorts a column by.
std::string SortText(const RuleView& view, int column);
// Byte-wise, as unsigned characters; a prefix is smaller. Negative, zero or positive.
int CompareSortTexts(const std::string& a, const std::string& b);

}  // namespace edictor
