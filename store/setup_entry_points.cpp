// setup_entry_points.cpp - the three calls through which the setup wizard writes
// its first rules without knowing keys, entries or the registry layout.
//
// The wizard loads the library by name and binds these by name; they keep four
// roots of their own, so a program that also holds the lists through the
// ordinary calls keeps its own views when the wizard's are removed.
#include "find_or_add.h"
#include "registry_access.h"
#include "shared_list.h"

using namespace tessary;

namespace {

struct WizardRoots {
  PFW_ADR_ROOT* addresses = nullptr;
  PFW_PROTO_ROOT* protocols = nullptr;
  PFW_APP_ROOT* apps = nullptr;
  PFW_RULE_ROOT* rules = nullptr;
};

WizardRoots g_roots;
// The registry keys the wizard's stores go through, kept from one SW_AddRule to
// the next: a first-run wizard adds hundreds of rules, and walking to the keys
// again for each store would cost more than the stores themselves.
KeyChain* g_keys = nullptr;
SRWLOCK g_roots_lock = SRWLOCK_INIT;

struct RootsGuard {
  RootsGuard() { AcquireSRWLockExclusive(&g_roots_lock); }
  ~RootsGuard() { ReleaseSRWLockExclusive(&g_roots_lock); }
};

// Removes only opens these entry points made: removing with a root the list layer
// no longer knows would close another open of this process.
void remove_roots(WizardRoots& r) {
  if (r.addresses) PFW_RemoveAddressList(r.addresses);
  if (r.protocols) PFW_RemoveProtocolList(r.protocols);
  if (r.apps) PFW_RemoveAppList(r.apps);
  if (r.rules) PFW_RemoveRuleList(r.rules);
  r = WizardRoots{};
}

void drop_keys() {
  delete g_keys;
  g_keys = nullptr;
}

// Stores through the kept keys. A kept handle can name a key that was deleted
// (and perhaps made again) since it was opened, so a refused store is tried once
// more through keys opened afresh; it then fails only where a fresh open would.
template <typename Store>
int store(Store how) {
  if (!g_keys) g_keys = new KeyChain;
  if (how(*g_keys)) return 1;
  g_keys->reset();
  return how(*g_keys);
}

// 127.0.0.1 in network byte order: the octets in written order.
constexpr unsigned long kLocalHost = 0x0100007Ful;
constexpr const char* kLocalHostName = "Local Host";

// Each step looks its entry up and adds it when missing under one hold of its
// list, so another process cannot add the same entry in between. A wildcard entry
// whose unused fields happen to name the same service or the local host is never
// taken: that would widen the rule to every protocol or every address.

// Step 1: the protocol key; 0 (any protocol) for port 0.
bool protocol_key(PFW_PROTO_ROOT* root, const char* name, int port, int transport, int* key) {
  if (port == 0) {
    *key = 0;
    return true;
  }
  PFW_PROTO entry;
  bool added;
  if (!find_or_add_service(root, name, transport, (unsigned)port, key, &entry, &added)) return false;
  // A failed store leaves the entry in the list only.
  if (added) store([&](KeyChain& k) { return store_protocol(k, entry, false); });
  return true;
}

// Step 2: the application key; an existing entry keeps its description.
bool app_key(PFW_APP_ROOT* root, const char* name, const char* description, int* key) {
  PFW_APP entry;
  bool added;
  if (!find_or_add_app(root, name, description, key, &entry, &added)) return false;
  if (added) store([&](KeyChain& k) { return store_application(k, entry, false); });
  return true;
}

// Step 3: the address key; 0 (any address) unless the rule is for this computer only.
bool address_key(PFW_ADR_ROOT* root, int local_only, int* key) {
  if (!local_only) {
    *key = 0;
    return true;
  }
  PFW_ADR entry;
  bool added;
  if (!find_or_add_single_address(root, kLocalHost, kLocalHostName, key, &entry, &added)) return false;
  if (added) store([&](KeyChain& k) { return store_address(k, entry, false); });
  return true;
}

}  // namespace

extern "C" {

int WINAPI SW_Startup(char* edictor_path) {
  RootsGuard guard;
  // Open the new views before letting go of any earlier ones, so a list this
  // process alone holds does not vanish in between.
  WizardRoots earlier = g_roots;
  g_roots.addresses = PFW_CreateAddressList();
  g_roots.protocols = PFW_CreateProtocolList();
  g_roots.apps = PFW_CreateAppList();
  g_roots.rules = PFW_CreateRuleList();
  remove_roots(earlier);
  drop_keys();
  if (!g_roots.addresses || !g_roots.protocols || !g_roots.apps || !g_roots.rules) return 0;

  // Lists that another process filled before are left as they are.
  PFW_LoadAddressSetFromRegistry(g_roots.addresses);
  PFW_LoadProtocolSetFromRegistry(g_roots.protocols);
  PFW_LoadApplicationSetFromRegistry(g_roots.apps);
  PFW_LoadRuleSetFromRegistry(g_roots.rules);

  char path[PFW_EDICTOR_PATH_SIZE];
  {
    KeyChain keys;
    HKEY rules = keys.key(kKeyRules);
    if (!rules || !read_string(rules, PFW_VALUE_EDICTOR_PATH, path, sizeof path)) return 0;
  }
  if (edictor_path) memcpy(edictor_path, path, strlen(path) + 1);
  return 1;
}

int WINAPI SW_AddRule(const char* description, const char* app_name, const char* protocol_name, int port, int transport,
                      int direction, int action, int local_only) {
  RootsGuard guard;
  const WizardRoots& r = g_roots;
  if (!r.addresses || !r.protocols || !r.apps || !r.rules) return 0;
  if (!app_name || !app_name[0]) return 0;
  // The list keeps at most a field's worth of the name; look up what it keeps,
  // or a long name would never be found again after its add.
  char app[PFW_APP_NAME_SIZE];
  copy_field(app, sizeof app, app_name);

  int pk = 0, xk = 0, ak = 0;
  if (!protocol_key(r.protocols, protocol_name, port, transport, &pk)) return 0;
  if (!app_key(r.apps, app, description, &xk)) return 0;
  if (!address_key(r.addresses, local_only, &ak)) return 0;

  // An existing rule takes the new action and keeps its log flag; a new rule is logged.
  PFW_RULE rule;
  int rule_key;
  bool added;
  if (!set_or_add_rule(r.rules, pk, ak, xk, direction, action, &rule_key, &rule, &added)) return 0;
  // A live rule whose value is missing (an earlier store of it failed) gets its value
  // now: otherwise every retry would be refused as a change to a rule not stored.
  return store([&](KeyChain& k) {
    if (added) return store_rule(k, rule, RuleStore::kAdd);
    return store_rule(k, rule, RuleStore::kModify) || store_rule(k, rule, RuleStore::kAdd) ? 1 : 0;
  });
}

int WINAPI SW_Shutdown(void) {
  RootsGuard guard;
  remove_roots(g_roots);
  drop_keys();
  return 1;
}

}  // extern "C"
