#include "rule_view.h"

#include <string.h>

namespace edictor {

int ProtocolPicture(unsigned port) {
  switch (port) {
    case 21:
      return kPicFileTransfer;
    case 23:
      return kPicTerminal;
    case 25:
    case 30:
      return kPicMail;
    default:
      return kPicProtocol;
  }
}

int AppPicture(const char* fileName) {
  // Exact and case-sensitive: the store keeps names in capitals, so these pictures only
  // show for entries made with small letters by other means.
  if (strcmp(fileName, "netscape.exe") == 0) return kPicBrowser;
  if (strcmp(fileName, "iexplore.exe") == 0) return kPicWebGlobe;
  if (strcmp(fileName, "outlook.exe") == 0) return kPicMailProgram;
  return kPicApp;
}

const char* ActionWord(int action) {
  switch (action) {
    case PFW_ALLOW:
      return "Allow";
    case PFW_DENY:
      return "Deny";
    case PFW_ASK:
      return "Ask User";
    default:
      return "";
  }
}

const char* PolicySortText(int action) {
  switch (action) {
    case PFW_ALLOW:
      return "ALLOW";
    case PFW_DENY:
      return "DENY";
    case PFW_ASK:
      return "ASK";
    default:
      return "";
  }
}

const char* DirectionWord(int direction) { return direction == PFW_INBOUND ? "INBOUND" : "OUTBOUND"; }

std::string DefaultCaption(int direction, int action) {
  static const char* const words[] = {"Allow", "Deny", "Ask"};
  if (action < PFW_ALLOW || action > PFW_ASK) return "";
  return std::string(direction == PFW_INBOUND ? "Inbound: " : "Outbound: ") + words[action];
}

int LightPicture(int action) { return action >= PFW_ALLOW && action <= PFW_ASK ? action : -1; }

namespace {
template <typename Record, typename Lookup>
const Record* Cached(std::unordered_map<unsigned, const Record*>* cache, unsigned key, long* calls, Lookup lookup) {
  if (cache) {
    auto found = cache->find(key);
    if (found != cache->end()) return found->second;
  }
  const Record* record = lookup(static_cast<int>(key));
  if (calls) ++*calls;
  if (cache) (*cache)[key] = record;
  return record;
}
}  // namespace

MenuState ContextMenuState(const void* record, bool onLight) {
  MenuState state;
  if (!record) return state;
  const PFW_RULE* rule = static_cast<const PFW_RULE*>(record);
  if (rule->kind != PFW_KIND_RULE) return state;  // an object: only Add
  state.actions = true;
  state.checked = LightPicture(rule->action);
  bool isDefault = rule->key == 0 || rule->key == 1;
  state.remove = !onLight && !isDefault;
  state.removeGreyed = !onLight;
  return state;
}

int RenameLimit(int kind) {
  switch (kind) {
    case PFW_KIND_PROTOCOL:
      return PFW_PROTO_NAME_SIZE - 1;  // 19
    case PFW_KIND_ADDRESS:
      return PFW_ADR_NAME_SIZE - 2;  // 30
    case PFW_KIND_APP:
      return PFW_APP_DESCRIPTION_SIZE - 1;  // 41
    default:
      return 0;
  }
}

RenameOutcome DecideRename(int kind, const std::string& before, const std::string& typed) {
  RenameOutcome outcome;
  int limit = RenameLimit(kind);
  if (limit == 0 || typed == before) return outcome;
  outcome.change = true;
  outcome.text = typed;
  if (static_cast<int>(typed.size()) > limit) {
    outcome.text.resize(static_cast<size_t>(limit));
    outcome.cut = true;
    // Cut back to the text it was: nothing changes after all.
    if (outcome.text == before) outcome.change = false;
  }
  return outcome;
}

std::string TreeName(int tab, int direction) {
  static const char* const kinds[] = {"Protocol", "Address", "Application"};
  const char* kind = tab >= kTabProtocol && tab <= kTabApplication ? kinds[tab] : "Rule";
  return std::string(direction == PFW_INBOUND ? "Inbound " : "Outbound ") + kind + " Tree";
}

bool DeleteStoredRule(const Lists& lists, const PFW_RULE* rule) {
  if (!rule || !lists.rules) return false;
  // The entry's bytes are read before the unlink: once unlinked, its slot is the store's.
  PFW_RULE entry = *rule;
  if (!PFW_DeleteRule(lists.rules, static_cast<int>(entry.key))) return false;
  PFW_DeleteRuleInRegistry(entry);
  return true;
}

bool LoadRuleView(const Lists& lists, int key, RuleView* view, RecordCache* cache, long* storeCalls) {
  RuleView v;
  v.rule = PFW_GetRuleByIndex(lists.rules, key, nullptr);
  if (storeCalls) ++*storeCalls;
  if (!v.rule) return false;
  v.app = Cached(cache ? &cache->apps : nullptr, v.rule->app_key, storeCalls,
                 [&](int k) { return PFW_GetAppByIndex(lists.apps, k, nullptr); });
  if (!v.app) return false;
  v.address = Cached(cache ? &cache->addresses : nullptr, v.rule->address_key, storeCalls,
                     [&](int k) { return PFW_GetAddressByIndex(lists.addresses, k, nullptr); });
  if (!v.address) return false;
  v.protocol = Cached(cache ? &cache->protocols : nullptr, v.rule->protocol_key, storeCalls,
                      [&](int k) { return PFW_GetProtocolByIndex(lists.protocols, k, nullptr); });
  if (!v.protocol) return false;
  *view = v;
  return true;
}

// Shared text fields are NUL-terminated by the store, but another process may be writing
// one: never read past the field.
template <size_t N>
static std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

Node NodeFor(const RuleView& view, Level level) {
  switch (level) {
    case kLevelProtocol:
      return {view.protocol, FieldText(view.protocol->name), ProtocolPicture(view.protocol->port)};
    case kLevelAddress:
      return {view.address, FieldText(view.address->name), kPicAddress};
    case kLevelApp: {
      std::string name = FieldText(view.app->name);
      return {view.app, FieldText(view.app->description), AppPicture(name.c_str())};
    }
    case kLevelRule:
    default:
      return {view.rule, ActionWord(view.rule->action),
              LightPicture(view.rule->action) < 0 ? kPicAllow : view.rule->action};
  }
}

std::array<Level, 4> TabLevels(int tab) {
  switch (tab) {
    case kTabAddress:
      return {kLevelAddress, kLevelProtocol, kLevelApp, kLevelRule};
    case kTabApplication:
      return {kLevelApp, kLevelAddress, kLevelProtocol, kLevelRule};
    default:
      return {kLevelProtocol, kLevelAddress, kLevelApp, kLevelRule};
  }
}

std::array<Node, 4> TreePath(const RuleView& view, int tab) {
  std::array<Node, 4> path;
  std::array<Level, 4> levels = TabLevels(tab);
  for (size_t i = 0; i < path.size(); ++i) path[i] = NodeFor(view, levels[i]);
  return path;
}

std::array<std::string, 5> RowTexts(const RuleView& view) {
  return {FieldText(view.protocol->name), FieldText(view.address->name), FieldText(view.app->description),
          DirectionWord(view.rule->direction), ActionWord(view.rule->action)};
}

std::string SortText(const RuleView& view, int column) {
  switch (column) {
    case 0:
      return FieldText(view.protocol->name);
    case 1:
      return FieldText(view.address->name);
    case 2:
      return FieldText(view.app->description);
    case 3:
      return DirectionWord(view.rule->direction);
    case 4:
      return PolicySortText(view.rule->action);
    default:
      return "";
  }
}

int CompareSortTexts(const std::string& a, const std::string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace edictor
