// registry.cpp - the lasting copy of the rule set and the options: keys, single
// values, the options record with its scrambled password, and the two paths.
#include <stdio.h>
#include <stdlib.h>

#include <atomic>

#include "key_text.h"
#include "record_decode.h"
#include "registry_access.h"
#include "shared_list.h"

namespace tessary {
namespace {

std::atomic<uint64_t> g_registry_calls{0};

bool value_exists(HKEY key, const char* name) {
  return reg_query(key, name, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Writes one record value named by a list entry's key.
int store_record(KeyChain& keys, KeyName list, uint32_t entry_key, const void* record, DWORD size, bool must_exist) {
  HKEY key = keys.key(list);
  if (!key) return 0;
  char name[16];
  snprintf(name, sizeof name, "%d", (int)entry_key);
  if (must_exist && !value_exists(key, name)) return 0;
  return reg_set(key, name, REG_BINARY, record, size) == ERROR_SUCCESS ? 1 : 0;
}

// Reads a string value from a key below the base key into a new buffer, or null.
char* read_path(bool from_rule_set, const char* value, DWORD size) {
  KeyChain keys;
  HKEY key = from_rule_set ? keys.rule_set() : keys.key(kKeyRules);
  if (!key) return nullptr;
  char* buffer = (char*)malloc(size);
  if (!buffer) return nullptr;
  if (!read_string(key, value, buffer, size)) {
    free(buffer);
    return nullptr;
  }
  return buffer;
}

}  // namespace

void count_registry_call() { g_registry_calls.fetch_add(1, std::memory_order_relaxed); }

HKEY KeyChain::base() {
  if (base_) return base_.get();
  // Key by key from HKEY_LOCAL_MACHINE, as the installation laid them out.
  const char* const path[] = {PFW_KEY_SOFTWARE, PFW_KEY_MAKER, PFW_KEY_PRODUCT, PFW_KEY_VERSION};
  HKEY parent = HKEY_LOCAL_MACHINE;
  for (const char* name : path) {
    HKEY child = nullptr;
    LONG r = reg_open(parent, name, &child);
    if (parent != HKEY_LOCAL_MACHINE) reg_close(parent);
    if (r != ERROR_SUCCESS) return nullptr;
    parent = child;
  }
  *base_.receive() = parent;
  return parent;
}

HKEY KeyChain::key(KeyName name) {
  static const char* const names[kKeyNameCount] = {PFW_KEY_PROTOCOLS, PFW_KEY_ADDRESSES, PFW_KEY_APPS, PFW_KEY_RULES};
  RegKey& kept = keys_[name];
  if (kept) return kept.get();
  HKEY b = base();
  HKEY key = nullptr;
  if (!b || reg_open(b, names[name], &key) != ERROR_SUCCESS) return nullptr;
  *kept.receive() = key;
  return key;
}

HKEY KeyChain::rule_set() {
  HKEY rules = key(kKeyRules);
  char name[PFW_RULE_SET_NAME_SIZE];
  // An empty name would open "Rules" itself and mix the options in with the rules.
  if (!rules || !read_string(rules, PFW_VALUE_ACTIVE_RULE_SET, name, sizeof name) || !name[0]) return nullptr;
  if (rule_set_ && strcmp(name, rule_set_name_) == 0) return rule_set_.get();
  rule_set_.reset();
  HKEY key = nullptr;
  if (reg_open(rules, name, &key) != ERROR_SUCCESS) return nullptr;
  *rule_set_.receive() = key;
  memcpy(rule_set_name_, name, sizeof name);
  return key;
}

void KeyChain::reset() {
  rule_set_.reset();
  for (RegKey& k : keys_) k.reset();
  base_.reset();
}

bool read_string(HKEY key, const char* name, char* buffer, DWORD size) {
  if (!buffer || size == 0) return false;
  char* scratch = (char*)malloc(size);
  if (!scratch) return false;
  memset(scratch, 0, size);
  DWORD type = REG_NONE, got = size;
  LONG r = reg_query(key, name, &type, (BYTE*)scratch, &got);
  bool ok = r == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ);
  if (ok) {
    // A value that fills the buffer without its terminator is cut to fit.
    scratch[size - 1] = 0;
    memcpy(buffer, scratch, size);
  }
  free(scratch);
  return ok;
}

int store_protocol(KeyChain& keys, const PFW_PROTO& entry, bool must_exist) {
  PFW_PROTO_RECORD record = {};
  record.key = entry.key;
  record.any = entry.any;
  copy_field(record.name, sizeof record.name, entry.name);
  record.transport = entry.transport;
  record.port = entry.port;
  return store_record(keys, kKeyProtocols, entry.key, &record, sizeof record, must_exist);
}

int store_address(KeyChain& keys, const PFW_ADR& entry, bool must_exist) {
  PFW_ADR_RECORD record = {};
  record.key = entry.key;
  record.any = entry.any;
  record.low = entry.low;
  record.high = entry.high;
  copy_field(record.name, sizeof record.name, entry.name);
  record.type = entry.type;
  return store_record(keys, kKeyAddresses, entry.key, &record, sizeof record, must_exist);
}

int store_application(KeyChain& keys, const PFW_APP& entry, bool must_exist) {
  PFW_APP_RECORD record = {};
  record.key = entry.key;
  record.any = entry.any;
  copy_field(record.name, sizeof record.name, entry.name);
  copy_field(record.description, sizeof record.description, entry.description);
  return store_record(keys, kKeyApps, entry.key, &record, sizeof record, must_exist);
}

int store_rule(KeyChain& keys, const PFW_RULE& entry, RuleStore how) {
  HKEY key = keys.rule_set();
  if (!key) return 0;
  // The value is named by the whole key text: the entry's 12-byte field may be
  // cut, and two rules whose texts share their first 11 characters would collide.
  char name[PFW_RULE_KEY_TEXT_MAX];
  rule_key_text(name, sizeof name, (int)entry.protocol_key, (int)entry.address_key, (int)entry.app_key,
                entry.direction);
  bool exists = value_exists(key, name);
  if (how == RuleStore::kAdd ? exists : !exists) return 0;
  if (how == RuleStore::kDelete) return reg_delete(key, name) == ERROR_SUCCESS ? 1 : 0;
  PFW_RULE_RECORD record = {entry.protocol_key, entry.address_key, entry.app_key,
                            entry.direction,    entry.action,      entry.log};
  return reg_set(key, name, REG_BINARY, &record, sizeof record) == ERROR_SUCCESS ? 1 : 0;
}

}  // namespace tessary

using namespace tessary;

extern "C" {

unsigned long long PFW_GetRegistryCallCount(void) { return g_registry_calls.load(std::memory_order_relaxed); }

int PFW_AddProtocolIntoRegistry(PFW_PROTO entry) {
  KeyChain keys;
  return store_protocol(keys, entry, false);
}

int PFW_ModifyProtocolInRegistry(PFW_PROTO entry) {
  KeyChain keys;
  return store_protocol(keys, entry, true);
}

int PFW_AddAddressIntoRegistry(PFW_ADR entry) {
  KeyChain keys;
  return store_address(keys, entry, false);
}

int PFW_ModifyAddressInRegistry(PFW_ADR entry) {
  KeyChain keys;
  return store_address(keys, entry, true);
}

int PFW_AddApplicationIntoRegistry(PFW_APP entry) {
  KeyChain keys;
  return store_application(keys, entry, false);
}

int PFW_ModifyApplicationInRegistry(PFW_APP entry) {
  KeyChain keys;
  return store_application(keys, entry, true);
}

int PFW_AddRuleIntoRegistry(PFW_RULE entry) {
  KeyChain keys;
  return store_rule(keys, entry, RuleStore::kAdd);
}

int PFW_ModifyRuleInRegistry(PFW_RULE entry) {
  KeyChain keys;
  return store_rule(keys, entry, RuleStore::kModify);
}

int PFW_DeleteRuleInRegistry(PFW_RULE entry) {
  KeyChain keys;
  return store_rule(keys, entry, RuleStore::kDelete);
}

int PFW_GetOptionsFromRegistry(PFW_OPTIONS* options) {
  if (!options) return 0;
  KeyChain keys;
  HKEY rules = keys.key(kKeyRules);
  if (!rules) return 0;
  // Read aside, so that a failed read leaves the caller's record as it was.
  unsigned char data[sizeof(PFW_OPTIONS)];
  DWORD type = REG_NONE, size = sizeof data;
  if (reg_query(rules, PFW_VALUE_OPTIONS, &type, data, &size) != ERROR_SUCCESS) return 0;
  PFW_OPTIONS stored;
  if (!decode_options(type, data, size, stored)) return 0;
  *options = stored;
  return 1;
}

int PFW_SetOptionsInRegistry(PFW_OPTIONS options) {
  options.password[PFW_PASSWORD_SIZE - 1] = 0;
  scramble_password(options, sizeof options);
  KeyChain keys;
  HKEY rules = keys.key(kKeyRules);
  if (!rules) return 0;
  return reg_set(rules, PFW_VALUE_OPTIONS, REG_BINARY, &options, sizeof options) == ERROR_SUCCESS ? 1 : 0;
}

char* PFW_GetLogFileNameFromRegistry(void) { return read_path(true, PFW_VALUE_LOG_FILE, PFW_LOG_PATH_SIZE); }

int PFW_SetLogFileNameInRegistry(const char* path) {
  if (!path) return 0;
  KeyChain keys;
  HKEY key = keys.rule_set();
  if (!key) return 0;
  // Never longer than the reader's buffer.
  char value[PFW_LOG_PATH_SIZE];
  copy_field(value, sizeof value, path);
  return reg_set(key, PFW_VALUE_LOG_FILE, REG_SZ, value, (DWORD)strlen(value) + 1) == ERROR_SUCCESS ? 1 : 0;
}

char* PFW_GetEdictorPathFromRegistry(void) { return read_path(false, PFW_VALUE_EDICTOR_PATH, PFW_EDICTOR_PATH_SIZE); }

void PFW_FreeBuffer(void* buffer) { free(buffer); }

}  // extern "C"
