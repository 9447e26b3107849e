// edits.cpp - changes to entries already in a list: a rule's action, and the
// text the user knows a protocol, an address or an application by.
//
// The monitor and the interceptor read these records while the editor changes
// them, so each change is made under the list's hold. A rename also looks for
// another entry with the new text in that same hold: two editors renaming two
// entries to one text at once cannot both succeed.
#include "shared_list.h"

using namespace tessary;

namespace {

// Finds the linked entry with this key and lets `change` write it, unless some
// other linked entry is `taken` - all under one hold. Fills the optional copy
// (the entry before its link) after the change.
template <typename Entry, typename Taken, typename Change>
int change_entry(ListId list, void* root, uint32_t key, Taken taken, Change change, Entry* out_copy) {
  if (!root) return 0;
  ListLock lock(list, root);
  if (!lock.held()) return 0;
  RootHead* r = (RootHead*)root;
  Entry* target = nullptr;
  int steps = r->count;  // a damaged link can never make the walk loop forever
  for (Entry* e = (Entry*)entry_at(list, root, r->head); e && steps-- > 0; e = (Entry*)entry_at(list, root, e->next)) {
    if (e->key == key)
      target = e;  // keys are unique among linked entries
    else if (taken(*e))
      return 0;
  }
  if (!target) return 0;
  lock.begin_change(kChangeEntry, target, offsetof(Entry, next));
  change(*target);
  lock.commit_change();
  if (out_copy) memcpy(out_copy, target, offsetof(Entry, next));
  return 1;
}

// A new text is cut to its field before it is compared, since the cut text is
// what would be stored. An empty text would leave a node nobody can see or pick,
// and the entry with key 0 of each list keeps the text it was installed with.
template <typename Entry, size_t Size>
int rename_entry(ListId list, void* root, int key, const char* text, char (Entry::*field)[Size], Entry* out_copy) {
  if (!text || !text[0] || key == 0) return 0;
  char cut[Size];
  copy_field(cut, Size, text);
  return change_entry<Entry>(
      list, root, (uint32_t)key, [&](const Entry& e) { return strcmp(e.*field, cut) == 0; },
      [&](Entry& e) { memcpy(e.*field, cut, Size); }, out_copy);
}

}  // namespace

extern "C" {

int PFW_SetRuleAction(PFW_RULE_ROOT* root, int key, int action, PFW_RULE* out_copy) {
  if (action != PFW_ALLOW && action != PFW_DENY && action != PFW_ASK) return 0;
  return change_entry<PFW_RULE>(
      kRules, root, (uint32_t)key, [](const PFW_RULE&) { return false; }, [&](PFW_RULE& e) { e.action = action; },
      out_copy);
}

int PFW_RenameProtocol(PFW_PROTO_ROOT* root, int key, const char* name, PFW_PROTO* out_copy) {
  return rename_entry(kProtocols, root, key, name, &PFW_PROTO::name, out_copy);
}

int PFW_RenameAddress(PFW_ADR_ROOT* root, int key, const char* name, PFW_ADR* out_copy) {
  return rename_entry(kAddresses, root, key, name, &PFW_ADR::name, out_copy);
}

int PFW_RenameApp(PFW_APP_ROOT* root, int key, const char* description, PFW_APP* out_copy) {
  return rename_entry(kApps, root, key, description, &PFW_APP::description, out_copy);
}

}  // extern "C"
