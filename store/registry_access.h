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

// The base key SOFTWARE\<maker>\<product>\1.0, opened on first use and held for
// the owner's lifetime, so that one operation that touches several keys walks
// the chain from HKEY_LOCAL_MACHINE once.
class BaseKey {
 public:
  HKEY get();  // null when any key on the way is missing

 private:
  RegKey key_;
  bool tried_ = false;
};

// The keys below the base key, each opened by the caller's BaseKey; false when missing.
bool open_list_key(BaseKey& base, const char* name, RegKey& out);
bool open_rules_key(BaseKey& base, RegKey& out);
// The subkey of "Rules" named by "ActiveRuleSet".
bool open_rule_set_key(BaseKey& base, RegKey& out);

// The storing steps, with the base key supplied by the caller.
int store_protocol(BaseKey& base, const PFW_PROTO& entry, bool must_exist);
int store_address(BaseKey& base, const PFW_ADR& entry, bool must_exist);
int store_application(BaseKey& base, const PFW_APP& entry, bool must_exist);
enum class RuleStore { kAdd, kModify, kDelete };
int store_rule(BaseKey& base, const PFW_RULE& entry, RuleStore how);

// Reads a string value into a buffer of size bytes: always terminated, cut at
// the buffer when the value fills it without a terminator. False when the value
// is missing, is not a string, or is longer than the buffer.
bool read_string(HKEY key, const char* name, char* buffer, DWORD size);

}  // namespace tessary

#endif  // TARNWALL_REGISTRY_ACCESS_H
