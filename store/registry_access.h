// registry_access.h - how the rule store reaches its keys under HKEY_LOCAL_MACHINE.
//
// Every registry call of the library goes through the counted wrappers here, so
// the benchmarks can tell how many calls one operation costs. Keys are only ever
// opened, never created: the installation makes them.
#ifndef TARNWALL_REGISTRY_ACCESS_H
#define TARNWALL_REGISTRY_ACCESS_H

#include "tessary.h"

namespace tessary {

void count_registry_call();

inline LONG reg_open(HKEY parent, const char* name, HKEY* out) {
  count_registry_call();
  return RegOpenKeyA(parent, name, out);
}
inline LONG reg_close(HKEY key) {
  count_registry_call();
  return RegCloseKey(key);
}
inline LONG reg_query(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) {
  count_registry_call();
  return RegQueryValueExA(key, name, nullptr, type, data, size);
}
inline LONG reg_set(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
  count_registry_call();
  return RegSetValueExA(key, name, 0, type, (const BYTE*)data, size);
}
inline LONG reg_delete(HKEY key, const char* name) {
  count_registry_call();
  return RegDeleteValueA(key, name);
}
inline LONG reg_enum(HKEY key, DWORD index, char* name, DWORD* name_size, DWORD* type, BYTE* data, DWORD* size) {
  count_registry_call();
  return RegEnumValueA(key, index, name, name_size, nullptr, type, data, size);
}

// An open registry key that closes itself.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { reset(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }
  HKEY* receive() {
    reset();
    return &key_;
  }
  void reset() {
    if (key_) reg_close(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

// The keys below the base key that the rule store works in.
enum KeyName { kKeyProtocols = 0, kKeyAddresses, kKeyApps, kKeyRules, kKeyNameCount };

// The keys one piece of work needs, each opened on first use and kept until
// reset or destruction: the base key SOFTWARE\<maker>\<product>\1.0 is walked to
// from HKEY_LOCAL_MACHINE once, however many of the keys below it are used.
class KeyChain {
 public:
  KeyChain() = default;
  ~KeyChain() { reset(); }
  KeyChain(const KeyChain&) = delete;
  KeyChain& operator=(const KeyChain&) = delete;
  // A key below the base key, or null when it or a key on the way is missing.
  HKEY key(KeyName name);
  // The subkey of "Rules" that "ActiveRuleSet" names, read afresh on every call,
  // so that a chain kept for long follows a change of the active set.
  HKEY rule_set();
  void reset();

 private:
  HKEY base();
  RegKey base_;
  RegKey keys_[kKeyNameCount];
  RegKey rule_set_;
  char rule_set_name_[PFW_RULE_SET_NAME_SIZE] = {};
};

// The storing steps, through the caller's chain. 1 written, 0 not.
int store_protocol(KeyChain& keys, const PFW_PROTO& entry, bool must_exist);
int store_address(KeyChain& keys, const PFW_ADR& entry, bool must_exist);
int store_application(KeyChain& keys, const PFW_APP& entry, bool must_exist);
enum class RuleStore { kAdd, kModify, kDelete };
int store_rule(KeyChain& keys, const PFW_RULE& entry, RuleStore how);

// Reads a string value into a buffer of size bytes: always terminated, cut at
// the buffer when the value fills it without a terminator. False when the value
// is missing, is not a string, or is longer than the buffer.
bool read_string(HKEY key, const char* name, char* buffer, DWORD size);

}  // namespace tessary

#endif  // TARNWALL_REGISTRY_ACCESS_H
