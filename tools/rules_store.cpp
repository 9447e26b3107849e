// rules_store.cpp - reading the active rule set and putting a file's set in its place.
#include "rules_store.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

#include <map>
#include <set>
#include <tuple>

namespace rulestore {

using namespace rulesfile;

namespace {

constexpr char kPendingValue[] = "RulesImportPending";
// One import at a time; a mutex, so the next one learns that an importer died.
constexpr char kImportMutex[] = "PFW_RulesImport";

// ---------------------------------------------------------------------------
// Code page
// ---------------------------------------------------------------------------

bool to_wide(UINT codepage, const std::string& in, std::wstring& out) {
  out.clear();
  if (in.empty()) return true;
  int n = MultiByteToWideChar(codepage, MB_ERR_INVALID_CHARS, in.data(), (int)in.size(), nullptr, 0);
  if (n <= 0) return false;
  out.resize(n);
  return MultiByteToWideChar(codepage, MB_ERR_INVALID_CHARS, in.data(), (int)in.size(), out.data(), n) == n;
}

// No best fit and no default character: a character the code page lacks is a failure.
bool from_wide(UINT codepage, const std::wstring& in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  bool utf8 = codepage == CP_UTF8 || (codepage == CP_ACP && GetACP() == CP_UTF8);
  DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* used = utf8 ? nullptr : &used_default;
  int n = WideCharToMultiByte(codepage, flags, in.data(), (int)in.size(), nullptr, 0, nullptr, used);
  if (n <= 0 || used_default) return false;
  out.resize(n);
  return WideCharToMultiByte(codepage, flags, in.data(), (int)in.size(), out.data(), n, nullptr, used) == n &&
         !used_default;
}

// ---------------------------------------------------------------------------
// Registry
// ---------------------------------------------------------------------------

class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return key_; }
  HKEY* receive() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
    return &key_;
  }

 private:
  HKEY key_ = nullptr;
};

bool read_text(HKEY key, const char* name, std::string& out, DWORD limit) {
  std::vector<char> buffer(limit + 1, 0);
  DWORD type = 0, size = limit;
  if (RegQueryValueExA(key, name, nullptr, &type, (BYTE*)buffer.data(), &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  out.assign(buffer.data(), strnlen(buffer.data(), size));
  return true;
}

// The keys an import works in: opened, never created.
struct StoreKeys {
  Key base, protocols, addresses, apps, rules, rule_set;
  bool open(REGSAM access) {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PFW_REGISTRY_BASE, 0, access, base.receive()) != ERROR_SUCCESS) return false;
    const char* names[] = {PFW_KEY_PROTOCOLS, PFW_KEY_ADDRESSES, PFW_KEY_APPS, PFW_KEY_RULES};
    Key* keys[] = {&protocols, &addresses, &apps, &rules};
    for (int i = 0; i < 4; i++)
      if (RegOpenKeyExA(base.get(), names[i], 0, access, keys[i]->receive()) != ERROR_SUCCESS) return false;
    std::string set_name;
    if (!read_text(rules.get(), PFW_VALUE_ACTIVE_RULE_SET, set_name, PFW_RULE_SET_NAME_SIZE - 1) || set_name.empty())
      return false;
    return RegOpenKeyExA(rules.get(), set_name.c_str(), 0, access, rule_set.receive()) == ERROR_SUCCESS;
  }
};

struct Value {
  DWORD type = 0;
  std::string data;
};

std::map<std::string, Value> read_values(HKEY key) {
  std::map<std::string, Value> values;
  DWORD longest_name = 0, longest_data = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest_name, &longest_data,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return values;
  std::vector<char> name(longest_name + 2);
  std::vector<char> data(longest_data + 1);
  for (DWORD i = 0;; i++) {
    DWORD name_size = (DWORD)name.size(), data_size = (DWORD)data.size(), type = 0;
    LONG r = RegEnumValueA(key, i, name.data(), &name_size, nullptr, &type, (BYTE*)data.data(), &data_size);
    if (r == ERROR_MORE_DATA) continue;
    if (r != ERROR_SUCCESS) break;
    values[std::string(name.data(), name_size)] = Value{type, std::string(data.data(), data_size)};
  }
  return values;
}

// One key's values as they are and as the new set wants them (binary records);
// `keep` names a value that is not part of the comparison.
struct KeyWork {
  HKEY key = nullptr;
  const char* keep = nullptr;
  std::map<std::string, Value> now;
  std::map<std::string, std::string> want;

  bool kept(const std::string& name) const { return keep && name == keep; }
  int deletions() const {
    int n = 0;
    for (const auto& [name, v] : now)
      if (!kept(name) && !want.count(name)) n++;
    return n;
  }
  int writes() const {
    int n = 0;
    for (const auto& [name, data] : want) {
      auto it = now.find(name);
      if (it == now.end() || it->second.type != REG_BINARY || it->second.data != data) n++;
    }
    return n;
  }
  bool apply_deletions(ImportReport& report) {
    for (const auto& [name, v] : now)
      if (!kept(name) && !want.count(name)) {
        if (RegDeleteValueA(key, name.c_str()) != ERROR_SUCCESS) return false;
        report.values_deleted++;
      }
    return true;
  }
  bool apply_writes(ImportReport& report) {
    for (const auto& [name, data] : want) {
      auto it = now.find(name);
      if (it != now.end() && it->second.type == REG_BINARY && it->second.data == data) continue;
      if (RegSetValueExA(key, name.c_str(), 0, REG_BINARY, (const BYTE*)data.data(), (DWORD)data.size()) !=
          ERROR_SUCCESS)
        return false;
      report.values_written++;
    }
    return true;
  }
};

template <size_t N>
void put_text(char (&field)[N], const std::string& text) {
  memset(field, 0, N);
  memcpy(field, text.data(), text.size() < N - 1 ? text.size() : N - 1);
}

template <typename Record>
std::string bytes_of(const Record& r) {
  return std::string((const char*)&r, sizeof r);
}

std::string key_name(uint32_t key) { return std::to_string((int32_t)key); }

// ---------------------------------------------------------------------------
// The plan: which entries keep their keys, which go, which come
// ---------------------------------------------------------------------------

struct EntryPlan {
  std::vector<int64_t> keep;     // per entry of the file: the store key it keeps, or -1: added
  std::vector<uint32_t> remove;  // store keys deleted
  int adds = 0;
};

bool same_entry(const Protocol& a, const Protocol& b) {
  return a.any == b.any && a.name == b.name && (a.any || (a.transport == b.transport && a.port == b.port));
}
bool same_entry(const Address& a, const Address& b) {
  return a.any == b.any && a.name == b.name && (a.any || (a.type == b.type && a.low == b.low && a.high == b.high));
}
bool same_entry(const App& a, const App& b) {
  return a.any == b.any && a.name == b.name && a.description == b.description;
}

template <typename E>
const E* wildcard_of(const std::vector<E>& entries) {
  for (const E& e : entries)
    if (e.any) return &e;
  return nullptr;
}

template <typename E>
EntryPlan plan_entries(const std::vector<E>& now, const std::vector<E>& want) {
  EntryPlan plan;
  plan.keep.assign(want.size(), -1);
  std::map<std::string, const E*> by_identity;
  for (const E& e : now)
    if (!e.any) by_identity[identity(e)] = &e;
  const E* wildcard = wildcard_of(now);
  std::set<uint32_t> kept;
  int64_t last = -1;
  bool in_order = true;
  for (size_t i = 0; i < want.size(); i++) {
    const E& w = want[i];
    if (w.any) {
      plan.keep[i] = wildcard->key;  // the store's wildcard stays; checked before
    } else if (in_order) {
      auto it = by_identity.find(identity(w));
      if (it != by_identity.end() && same_entry(*it->second, w) && (int64_t)it->second->key > last) {
        plan.keep[i] = it->second->key;
        last = it->second->key;
      } else {
        in_order = false;  // keys only grow: everything from here on comes after the kept ones
      }
    }
    if (plan.keep[i] >= 0)
      kept.insert((uint32_t)plan.keep[i]);
    else
      plan.adds++;
  }
  for (const E& e : now)
    if (!kept.count(e.key)) plan.remove.push_back(e.key);
  return plan;
}

using Numbers = std::tuple<uint32_t, uint32_t, uint32_t, int>;

struct RulePlan {
  std::vector<int64_t> keep;     // per rule of the file: the store rule kept, or -1: added
  std::vector<uint32_t> remove;  // store rule keys deleted
  int adds = 0, changes = 0;
};

struct Plan {
  EntryPlan protocols, addresses, apps;
  RulePlan rules;
  bool lists_change() const {
    return !protocols.remove.empty() || !addresses.remove.empty() || !apps.remove.empty() || !rules.remove.empty() ||
           protocols.adds || addresses.adds || apps.adds || rules.adds || rules.changes;
  }
};

Numbers numbers_in(const RuleSet& set, const Rule& r) {
  return {set.protocols[r.protocol].key, set.addresses[r.address].key, set.apps[r.app].key, r.direction};
}

RulePlan plan_rules(const RuleSet& now, const RuleSet& want, const Plan& plan) {
  RulePlan rp;
  rp.keep.assign(want.rules.size(), -1);
  std::map<Numbers, const Rule*> by_numbers;
  for (const Rule& r : now.rules) by_numbers[numbers_in(now, r)] = &r;
  std::set<uint32_t> kept;
  for (size_t i = 0; i < want.rules.size(); i++) {
    const Rule& w = want.rules[i];
    int64_t p = plan.protocols.keep[w.protocol], a = plan.addresses.keep[w.address], x = plan.apps.keep[w.app];
    auto it = p < 0 || a < 0 || x < 0 ? by_numbers.end()
                                      : by_numbers.find(Numbers((uint32_t)p, (uint32_t)a, (uint32_t)x, w.direction));
    if (it == by_numbers.end()) {
      rp.adds++;
      continue;
    }
    rp.keep[i] = it->second->key;
    kept.insert(it->second->key);
    if (it->second->action != w.action || it->second->log != w.log) rp.changes++;
  }
  for (const Rule& r : now.rules)
    if (!kept.count(r.key)) rp.remove.push_back(r.key);
  return rp;
}

// ---------------------------------------------------------------------------
// What the store must hold for any import, and what the file must agree on
// ---------------------------------------------------------------------------

std::string shown(const std::string& ansi) {
  std::string utf8;
  SystemCodepage cp;
  if (!cp.to_utf8(ansi, utf8)) utf8 = "?";
  return "'" + utf8 + "'";
}

std::string at_line(int line) { return "line " + std::to_string(line) + ": "; }

bool store_can_take(const RuleSet& now, const RuleSet& want, std::string& why) {
  const Protocol* wp = wildcard_of(now.protocols);
  const Address* wa = wildcard_of(now.addresses);
  const App* wx = wildcard_of(now.apps);
  const char* broken = "; the rule store is damaged: reinstall Tarnwall, or import into a store that has it";
  if (!wp || wp->key != 0)
    return why = "the rule store has no wildcard protocol with key 0" + std::string(broken), false;
  if (!wa || wa->key != 0)
    return why = "the rule store has no wildcard address with key 0" + std::string(broken), false;
  if (!wx) return why = "the rule store has no wildcard application" + std::string(broken), false;
  for (int direction : {kInbound, kOutbound}) {
    bool found = false;
    for (const Rule& r : now.rules)
      if (r.key == (uint32_t)direction) found = numbers_in(now, r) == Numbers(0, 0, wx->key, direction);
    if (!found)
      return why = std::string("the rule store's rule key ") + std::to_string(direction) + " is not the " +
                   (direction == kInbound ? "inbound" : "outbound") + " default rule" + broken,
             false;
  }
  // A wildcard entry can never be made again under its key, so it keeps its texts.
  const Protocol* fp = wildcard_of(want.protocols);
  const Address* fa = wildcard_of(want.addresses);
  const App* fx = wildcard_of(want.apps);
  const char* keep = "; wildcard entries keep the texts they were installed with";
  if (fp->name != wp->name)
    return why = at_line(fp->line) + "the wildcard protocol is named " + shown(fp->name) + " here but " +
                 shown(wp->name) + " in this rule store" + keep,
           false;
  if (fa->name != wa->name)
    return why = at_line(fa->line) + "the wildcard address is named " + shown(fa->name) + " here but " +
                 shown(wa->name) + " in this rule store" + keep,
           false;
  if (fx->name != wx->name || fx->description != wx->description)
    return why = at_line(fx->line) + "the wildcard application is " + shown(fx->name) + " " + shown(fx->description) +
                 " here but " + shown(wx->name) + " " + shown(wx->description) + " in this rule store" + keep,
           false;
  return true;
}

// ---------------------------------------------------------------------------
// Changing the lists
// ---------------------------------------------------------------------------

// Final store keys of the file's entries.
struct FinalKeys {
  std::vector<uint32_t> protocols, addresses, apps;
};

// Entries and rules that stay, put into lists that were started afresh, with the
// keys they had; the file's action and log flag go with each rule kept.
void refill_kept(StoreLists& lists, const RuleSet& now, const RuleSet& want, const Plan& plan) {
  std::set<uint32_t> kp(plan.protocols.remove.begin(), plan.protocols.remove.end());
  std::set<uint32_t> ka(plan.addresses.remove.begin(), plan.addresses.remove.end());
  std::set<uint32_t> kx(plan.apps.remove.begin(), plan.apps.remove.end());
  for (const Protocol& p : now.protocols)
    if (!kp.count(p.key))
      PFW_AddProtocol(lists.protocols, p.any, p.name.c_str(), (PFW_TRANSPORT)p.transport, p.port, p.key);
  for (const Address& a : now.addresses)
    if (!ka.count(a.key))
      PFW_AddAddress(lists.addresses, a.any, a.low, a.high, a.name.c_str(), (PFW_ADDRESS_TYPE)a.type, a.key);
  for (const App& x : now.apps)
    if (!kx.count(x.key)) PFW_AddApp(lists.apps, x.any, x.name.c_str(), x.description.c_str(), x.key);
  std::map<uint32_t, const Rule*> wanted;  // store rule key -> the file's rule
  for (size_t i = 0; i < want.rules.size(); i++)
    if (plan.rules.keep[i] >= 0) wanted[(uint32_t)plan.rules.keep[i]] = &want.rules[i];
  // In the order of their keys, so the two default rules take keys 0 and 1 again.
  for (const Rule& r : now.rules) {
    auto it = wanted.find(r.key);
    if (it == wanted.end()) continue;
    auto [p, a, x, d] = numbers_in(now, r);
    PFW_AddRule(lists.rules, (int)p, (int)a, (int)x, d, it->second->action, it->second->log ? 1 : 0);
  }
}

// When the lists lack the slots an import needs, they can start afresh if this
// process is the only one holding them: drop them and make them again. True when
// that worked and the entries that stay are back in; otherwise the lists are as
// the registry has them, as they were before.
bool restart_lists(StoreLists& lists, const RuleSet& now, const RuleSet& want, const Plan& plan) {
  if (!lists.open()) return false;
  bool fresh = lists.protocols->next_key == 0 && lists.protocols->count == 0 && lists.addresses->next_key == 0 &&
               lists.addresses->count == 0 && lists.apps->next_key == 0 && lists.apps->count == 0 &&
               lists.rules->next_key == 0 && lists.rules->count == 0;
  if (!fresh) {
    // Another program holds some of them: those we made anew are loaded as usual.
    lists.load_from_registry();
    return false;
  }
  refill_kept(lists, now, want, plan);
  return true;
}

int free_slots(const PFW_LIST_ROOT* root, uint32_t slots) { return (int)slots - root->count; }

bool fail_at(std::string& why, int line, const std::string& what) {
  why = at_line(line) + what + " could not be added to the shared list (did another program add it meanwhile?)";
  return false;
}

bool add_entries(StoreLists& lists, const RuleSet& want, const Plan& plan, FinalKeys& keys, std::string& why) {
  keys.protocols.resize(want.protocols.size());
  keys.addresses.resize(want.addresses.size());
  keys.apps.resize(want.apps.size());
  for (size_t i = 0; i < want.protocols.size(); i++) {
    const Protocol& p = want.protocols[i];
    if (plan.protocols.keep[i] >= 0) {
      keys.protocols[i] = (uint32_t)plan.protocols.keep[i];
      continue;
    }
    int key = -1;
    if (!PFW_AddProtocol(lists.protocols, 0, p.name.c_str(), (PFW_TRANSPORT)p.transport, p.port) ||
        !PFW_GetProtocolByKey(lists.protocols, PFW_CreateProtocolKey(0, p.transport, p.port), &key, nullptr))
      return fail_at(why, p.line, "the protocol");
    keys.protocols[i] = (uint32_t)key;
  }
  for (size_t i = 0; i < want.addresses.size(); i++) {
    const Address& a = want.addresses[i];
    if (plan.addresses.keep[i] >= 0) {
      keys.addresses[i] = (uint32_t)plan.addresses.keep[i];
      continue;
    }
    int key = -1;
    if (!PFW_AddAddress(lists.addresses, 0, a.low, a.high, a.name.c_str(), (PFW_ADDRESS_TYPE)a.type) ||
        !PFW_GetAddressByKey(lists.addresses, PFW_CreateAddressKey(0, a.low, a.high, a.type), &key, nullptr))
      return fail_at(why, a.line, "the address");
    keys.addresses[i] = (uint32_t)key;
  }
  for (size_t i = 0; i < want.apps.size(); i++) {
    const App& x = want.apps[i];
    if (plan.apps.keep[i] >= 0) {
      keys.apps[i] = (uint32_t)plan.apps.keep[i];
      continue;
    }
    int key = -1;
    if (!PFW_AddApp(lists.apps, 0, x.name.c_str(), x.description.c_str()) ||
        !PFW_GetExactAppByName(lists.apps, x.name.c_str(), &key, nullptr))
      return fail_at(why, x.line, "the application");
    keys.apps[i] = (uint32_t)key;
  }
  return true;
}

Numbers final_numbers(const FinalKeys& keys, const Rule& r) {
  return {keys.protocols[r.protocol], keys.addresses[r.address], keys.apps[r.app], r.direction};
}

bool set_rules(StoreLists& lists, const RuleSet& want, const FinalKeys& keys, ImportReport& report, std::string& why) {
  for (const Rule& w : want.rules) {
    auto [p, a, x, d] = final_numbers(keys, w);
    int key = -1;
    PFW_RULE copy;
    PFW_RULE* live = PFW_GetRuleByNumbers(lists.rules, (int)p, (int)a, (int)x, d, &key, &copy);
    if (!live) {
      if (!PFW_AddRule(lists.rules, (int)p, (int)a, (int)x, d, w.action, w.log ? 1 : 0))
        return fail_at(why, w.line, "the rule");
      continue;
    }
    bool changed = false;
    if (copy.action != w.action) {
      if (!PFW_SetRuleAction(lists.rules, key, w.action, nullptr)) return fail_at(why, w.line, "the rule's action");
      changed = true;
    }
    if ((copy.log != 0) != w.log) {
      // The store has no call that changes the flag; like the action before such
      // calls, it is written in the live rule, one aligned 32-bit store that
      // readers see whole.
      InterlockedExchange((volatile LONG*)&live->log, w.log ? 1 : 0);
      changed = true;
    }
    report.rules_changed += changed;
  }
  return true;
}

// ---------------------------------------------------------------------------
// The registry's copy of the new set
// ---------------------------------------------------------------------------

void registry_wants(const RuleSet& want, const FinalKeys& keys, KeyWork work[4]) {
  for (size_t i = 0; i < want.protocols.size(); i++) {
    const Protocol& p = want.protocols[i];
    PFW_PROTO_RECORD r = {};
    r.key = keys.protocols[i];
    r.any = p.any;
    put_text(r.name, p.name);
    r.transport = p.any ? 0 : p.transport;
    r.port = p.any ? 0 : p.port;
    work[0].want[key_name(r.key)] = bytes_of(r);
  }
  for (size_t i = 0; i < want.addresses.size(); i++) {
    const Address& a = want.addresses[i];
    PFW_ADR_RECORD r = {};
    r.key = keys.addresses[i];
    r.any = a.any;
    r.low = a.low;
    r.high = a.high;
    put_text(r.name, a.name);
    r.type = a.type;
    work[1].want[key_name(r.key)] = bytes_of(r);
  }
  for (size_t i = 0; i < want.apps.size(); i++) {
    const App& x = want.apps[i];
    PFW_APP_RECORD r = {};
    r.key = keys.apps[i];
    r.any = x.any;
    put_text(r.name, x.name);
    put_text(r.description, x.description);
    work[2].want[key_name(r.key)] = bytes_of(r);
  }
  for (const Rule& w : want.rules) {
    auto [p, a, x, d] = final_numbers(keys, w);
    PFW_RULE_RECORD r = {p, a, x, d, w.action, w.log ? 1 : 0};
    char name[PFW_RULE_KEY_TEXT_MAX];
    snprintf(name, sizeof name, "%d,%d,%d,%d", (int)p, (int)a, (int)x, d);
    work[3].want[name] = bytes_of(r);
  }
}

// The wildcard entries are stored with what the store holds for their other
// fields, which the file does not carry: the registry keeps them as they are.
void keep_wildcard_records(const RuleSet& now, KeyWork work[4]) {
  for (int k = 0; k < 3; k++) {
    uint32_t key = k == 0   ? wildcard_of(now.protocols)->key
                   : k == 1 ? wildcard_of(now.addresses)->key
                            : wildcard_of(now.apps)->key;
    auto it = work[k].now.find(key_name(key));
    if (it == work[k].now.end() || it->second.type != REG_BINARY) continue;
    std::string& want = work[k].want[key_name(key)];
    if (it->second.data.size() != want.size()) continue;
    // Only the fields the file does not carry are taken over.
    if (k == 0) {
      PFW_PROTO_RECORD stored, wanted;
      memcpy(&stored, it->second.data.data(), sizeof stored);
      memcpy(&wanted, want.data(), sizeof wanted);
      wanted.transport = stored.transport;
      wanted.port = stored.port;
      want = bytes_of(wanted);
    } else if (k == 1) {
      PFW_ADR_RECORD stored, wanted;
      memcpy(&stored, it->second.data.data(), sizeof stored);
      memcpy(&wanted, want.data(), sizeof wanted);
      wanted.low = stored.low;
      wanted.high = stored.high;
      wanted.type = stored.type;
      want = bytes_of(wanted);
    }
  }
}

bool prepare_registry(StoreKeys& keys, const RuleSet& now, const RuleSet& want, const FinalKeys& final_keys,
                      KeyWork work[4]) {
  HKEY handles[4] = {keys.protocols.get(), keys.addresses.get(), keys.apps.get(), keys.rule_set.get()};
  for (int k = 0; k < 4; k++) {
    work[k] = KeyWork();
    work[k].key = handles[k];
    work[k].now = read_values(handles[k]);
  }
  work[3].keep = PFW_VALUE_LOG_FILE;
  registry_wants(want, final_keys, work);
  keep_wildcard_records(now, work);
  return true;
}

std::string utc_now() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  char text[40];
  snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u UTC", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
           t.wSecond);
  return text;
}

class ImportMutex {
 public:
  ImportMutex() : mutex_(CreateMutexA(nullptr, FALSE, kImportMutex)) {
    if (!mutex_) return;
    DWORD r = WaitForSingleObject(mutex_, INFINITE);
    // An importer that died holding it left a mark in the registry, which says more.
    held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  }
  ~ImportMutex() {
    if (held_) ReleaseMutex(mutex_);
    if (mutex_) CloseHandle(mutex_);
  }
  bool held() const { return held_; }

 private:
  HANDLE mutex_;
  bool held_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------

void phase(const char* what) {
  static const bool on = GetEnvironmentVariableA("TARNWALL_RULES_TIMING", nullptr, 0) > 0;
  if (!on) return;
  static LARGE_INTEGER frequency, last;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  if (frequency.QuadPart == 0) {
    QueryPerformanceFrequency(&frequency);
  } else {
    fprintf(stderr, "    %-40s %8.1f ms\n", what,
            (double)(now.QuadPart - last.QuadPart) * 1e3 / (double)frequency.QuadPart);
  }
  last = now;
}

bool SystemCodepage::to_ansi(const std::string& utf8, std::string& ansi) const {
  std::wstring wide, back;
  if (!to_wide(CP_UTF8, utf8, wide) || !from_wide(CP_ACP, wide, ansi)) return false;
  // The bytes must stand for the very characters they came from.
  return to_wide(CP_ACP, ansi, back) && back == wide;
}

bool SystemCodepage::to_utf8(const std::string& ansi, std::string& utf8) const {
  std::wstring wide;
  std::string back;
  if (!to_wide(CP_ACP, ansi, wide) || !from_wide(CP_ACP, wide, back) || back != ansi) return false;
  return from_wide(CP_UTF8, wide, utf8);
}

std::string SystemCodepage::name() const { return "code page " + std::to_string(GetACP()); }

void read_live_set(StoreLists& lists, RuleSet& out, std::vector<std::string>& notes) {
  out = RuleSet();
  std::map<uint32_t, size_t> protocol_at, address_at, app_at;
  for (uint32_t k = 0; k < lists.protocols->next_key; k++) {
    PFW_PROTO e;
    if (!PFW_GetProtocolByIndex(lists.protocols, (int)k, &e)) continue;
    Protocol p;
    p.key = e.key;
    p.any = e.any != 0;
    p.name.assign(e.name, strnlen(e.name, sizeof e.name));
    p.transport = e.transport;
    p.port = e.port;
    protocol_at[e.key] = out.protocols.size();
    out.protocols.push_back(p);
  }
  for (uint32_t k = 0; k < lists.addresses->next_key; k++) {
    PFW_ADR e;
    if (!PFW_GetAddressByIndex(lists.addresses, (int)k, &e)) continue;
    Address a;
    a.key = e.key;
    a.any = e.any != 0;
    a.name.assign(e.name, strnlen(e.name, sizeof e.name));
    a.type = e.type;
    a.low = e.low;
    a.high = e.high;
    address_at[e.key] = out.addresses.size();
    out.addresses.push_back(a);
  }
  for (uint32_t k = 0; k < lists.apps->next_key; k++) {
    PFW_APP e;
    if (!PFW_GetAppByIndex(lists.apps, (int)k, &e)) continue;
    App x;
    x.key = e.key;
    x.any = e.any != 0;
    x.name.assign(e.name, strnlen(e.name, sizeof e.name));
    x.description.assign(e.description, strnlen(e.description, sizeof e.description));
    app_at[e.key] = out.apps.size();
    out.apps.push_back(x);
  }
  for (uint32_t k = 0; k < lists.rules->next_key; k++) {
    PFW_RULE e;
    if (!PFW_GetRuleByIndex(lists.rules, (int)k, &e)) continue;
    auto p = protocol_at.find(e.protocol_key), a = address_at.find(e.address_key), x = app_at.find(e.app_key);
    if (p == protocol_at.end() || a == address_at.end() || x == app_at.end()) {
      notes.push_back("rule key " + std::to_string(e.key) + " (" + std::to_string(e.protocol_key) + "," +
                      std::to_string(e.address_key) + "," + std::to_string(e.app_key) + "," +
                      std::to_string(e.direction) +
                      ") names an entry the store no longer holds; it can decide no connection and is left out");
      continue;
    }
    Rule r;
    r.key = e.key;
    r.direction = e.direction;
    r.action = e.action;
    r.log = e.log != 0;
    r.protocol = p->second;
    r.address = a->second;
    r.app = x->second;
    out.rules.push_back(r);
  }
}

bool read_log_file(std::string& out) {
  char* path = PFW_GetLogFileNameFromRegistry();
  if (!path) return false;
  out = path;
  PFW_FreeBuffer(path);
  return true;
}

bool store_installed() {
  StoreKeys keys;
  return keys.open(KEY_READ);
}

bool pending_import(std::string& what) {
  Key rules;
  std::string path = std::string(PFW_REGISTRY_BASE) + "\\" + PFW_KEY_RULES;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, rules.receive()) != ERROR_SUCCESS) return false;
  return read_text(rules.get(), kPendingValue, what, 1024);
}

ImportResult import_rule_set(const RuleSet& want, const std::string& source, ImportReport& report,
                             std::string& message) {
  StoreKeys keys;
  if (!keys.open(KEY_READ | KEY_WRITE)) {
    message =
        "Tarnwall's registry keys cannot be opened for writing (is Tarnwall installed, and may this account "
        "change it?)";
    return ImportResult::kRefused;
  }
  ImportMutex one_at_a_time;
  if (!one_at_a_time.held()) {
    message = "cannot take the import lock";
    return ImportResult::kRefused;
  }
  std::string pending;
  bool was_pending = pending_import(pending);
  if (was_pending)
    report.notes.push_back("an import of " + pending + " did not finish; this import replaces what it left");

  phase("start");
  StoreLists lists;
  if (!lists.load_from_registry()) {
    message = "the rule store's shared lists cannot be opened";
    return ImportResult::kRefused;
  }
  phase("lists created or joined, and loaded");
  RuleSet now;
  read_live_set(lists, now, report.notes);
  phase("the lists' set read");
  if (!store_can_take(now, want, message)) return ImportResult::kRefused;

  Plan plan;
  plan.protocols = plan_entries(now.protocols, want.protocols);
  plan.addresses = plan_entries(now.addresses, want.addresses);
  plan.apps = plan_entries(now.apps, want.apps);
  plan.rules = plan_rules(now, want, plan);

  std::string log_now;
  bool has_log_now = read_log_file(log_now);
  bool log_differs = want.has_log_file && (!has_log_now || log_now != want.log_file);

  KeyWork work[4];
  if (!plan.lists_change()) {
    // Keys stay as they are: the registry can be compared now, and an import that
    // finds nothing to change writes nothing at all.
    FinalKeys same;
    for (size_t i = 0; i < want.protocols.size(); i++) same.protocols.push_back((uint32_t)plan.protocols.keep[i]);
    for (size_t i = 0; i < want.addresses.size(); i++) same.addresses.push_back((uint32_t)plan.addresses.keep[i]);
    for (size_t i = 0; i < want.apps.size(); i++) same.apps.push_back((uint32_t)plan.apps.keep[i]);
    prepare_registry(keys, now, want, same, work);
    int registry_changes = 0;
    for (KeyWork& w : work) registry_changes += w.deletions() + w.writes();
    bool global_differs = false;
    if (want.has_log_file) {
      PFW_InitializeGlobalData();
      const char* global = PFW_GetLogFileName();
      global_differs = !global || want.log_file != global;
    }
    phase("planned, registry compared");
    if (registry_changes == 0 && !log_differs && !global_differs) {
      if (was_pending) RegDeleteValueA(keys.rules.get(), kPendingValue);
      return ImportResult::kDone;
    }
  }

  // Room in the lists, before anything is changed.
  const char* kinds[4] = {"protocol", "address", "application", "rule"};
  int need[4] = {plan.protocols.adds, plan.addresses.adds, plan.apps.adds, plan.rules.adds};
  auto short_of_room = [&]() {
    int room[4] = {free_slots(lists.protocols, PFW_PROTOCOL_SLOTS), free_slots(lists.addresses, PFW_ADDRESS_SLOTS),
                   free_slots(lists.apps, PFW_APP_SLOTS), (int)PFW_RULE_SLOTS - lists.rules->count};
    for (int k = 0; k < 4; k++)
      if (need[k] > room[k]) return k;
    return -1;
  };

  // From here on the set changes: a mark says so until it is complete.
  std::string mark = source + " (started " + utc_now() + ")";
  if (RegSetValueExA(keys.rules.get(), kPendingValue, 0, REG_SZ, (const BYTE*)mark.c_str(), (DWORD)mark.size() + 1) !=
      ERROR_SUCCESS) {
    message = "the registry cannot be written";
    return ImportResult::kRefused;
  }
  int short_list = short_of_room();
  if (short_list >= 0) {
    // The rule lists are untouched so far; started afresh they hold only what stays.
    if (restart_lists(lists, now, want, plan)) {
      report.lists_restarted = true;
    } else {
      int room = short_list == 3   ? (int)PFW_RULE_SLOTS - lists.rules->count
                 : short_list == 0 ? free_slots(lists.protocols, PFW_PROTOCOL_SLOTS)
                 : short_list == 1 ? free_slots(lists.addresses, PFW_ADDRESS_SLOTS)
                                   : free_slots(lists.apps, PFW_APP_SLOTS);
      if (!was_pending) RegDeleteValueA(keys.rules.get(), kPendingValue);
      message = std::string("the shared ") + kinds[short_list] + " list has room for " +
                std::to_string(room < 0 ? 0 : room) +
                " more entries until every program that uses the rule store has ended, and this import adds " +
                std::to_string(need[short_list]) +
                ". Nothing was changed. End Wayguard, Edictor and any other program of Tarnwall, then import again.";
      return ImportResult::kRefused;
    }
  } else {
    // Rules first, then the entries they name.
    for (uint32_t k : plan.rules.remove) PFW_DeleteRule(lists.rules, (int)k);
    for (uint32_t k : plan.protocols.remove) PFW_DeleteProtocol(lists.protocols, (int)k);
    for (uint32_t k : plan.addresses.remove) PFW_DeleteAddress(lists.addresses, (int)k);
    for (uint32_t k : plan.apps.remove) PFW_DeleteApp(lists.apps, (int)k);
  }
  report.changed = true;
  report.removed[0] = (int)plan.protocols.remove.size();
  report.removed[1] = (int)plan.addresses.remove.size();
  report.removed[2] = (int)plan.apps.remove.size();
  report.removed[3] = (int)plan.rules.remove.size();
  for (int k = 0; k < 4; k++) report.added[k] = need[k];

  phase("planned, entries deleted");
  const char* mixed = " The rule set is now partly old and partly new; import the file again to finish.";
  FinalKeys final_keys;
  if (!add_entries(lists, want, plan, final_keys, message) || !set_rules(lists, want, final_keys, report, message)) {
    message += mixed;
    return ImportResult::kFailed;
  }

  // The registry follows: rules go before the entries they name, entries come before
  // the rules that name them, so a start in between loads no rule without its entries.
  phase("entries and rules added or changed");
  prepare_registry(keys, now, want, final_keys, work);
  phase("registry read");
  if (!work[3].apply_deletions(report) || !work[0].apply_deletions(report) || !work[1].apply_deletions(report) ||
      !work[2].apply_deletions(report) || !work[0].apply_writes(report) || !work[1].apply_writes(report) ||
      !work[2].apply_writes(report) || !work[3].apply_writes(report)) {
    message = std::string("a registry value could not be written or deleted.") + mixed;
    return ImportResult::kFailed;
  }
  if (want.has_log_file) {
    if (log_differs) {
      if (!PFW_SetLogFileNameInRegistry(want.log_file.c_str())) {
        message = std::string("the log file name could not be stored.") + mixed;
        return ImportResult::kFailed;
      }
      report.values_written++;
      report.log_file_changed = true;
    }
    // The monitor logs to the name in the global state block: it takes the new one at once.
    PFW_InitializeGlobalData();
    const char* global = PFW_GetLogFileName();
    if (!global || want.log_file != global) {
      PFW_SetLogFileName(want.log_file.c_str());
      report.log_file_changed = true;
    }
  }
  RegDeleteValueA(keys.rules.get(), kPendingValue);
  phase("registry written");
  return ImportResult::kDone;
}

}  // namespace rulestore
