// bench_support.h - what the benchmarks share: one clock, and the four lists
// made for a run and removed after it.
#ifndef TARNWALL_BENCH_SUPPORT_H
#define TARNWALL_BENCH_SUPPORT_H

#include <string.h>
#include <windows.h>

#include <string>

#include "list_set.h"
#include "tessary.h"

inline double now_us() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart * 1e6 / (double)frequency.QuadPart;
}

inline double now_ms() { return now_us() / 1e3; }

// An IPv4 address in network byte order, from its four octets as written.
inline unsigned long ip(int a, int b, int c, int d) { return (unsigned long)(a | (b << 8) | (c << 16) | (d << 24)); }

// A benchmark makes the product's keys itself, as the installer would: the store never
// creates a key.
inline bool write_value(const char* path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG r = RegSetValueExA(key, name, 0, type, (const BYTE*)data, size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

#define BENCH_PRODUCT_KEY "SOFTWARE\\Velmora\\Tarnwall\\1.0"

// The starting set a benchmark installs: the three wildcard entries and the two default
// rules, with what each benchmark varies.
struct StartingSet {
  const char* rule_set = "Default";
  const char* any_app_name = "*";
  const char* any_app_description = "Any Application";
  int32_t outbound_action = PFW_ASK;
  int32_t outbound_log = 1;
  const char* edictor_path = nullptr;  // "EdictorPath", when set
  const char* log_file = nullptr;      // the rule set's "LogFile", when set
};

inline bool write_text(const char* path, const char* name, const char* text) {
  return write_value(path, name, REG_SZ, text, (DWORD)strlen(text) + 1);
}

inline bool install_starting_set(const StartingSet& s) {
  PFW_PROTO_RECORD any_protocol = {0, 1, "Any Protocol", 0, 0};
  PFW_ADR_RECORD any_address = {0, 1, 0, 0, "Any Address", 0};
  PFW_APP_RECORD any_app = {};
  any_app.any = 1;
  strncpy(any_app.name, s.any_app_name, sizeof any_app.name - 1);
  strncpy(any_app.description, s.any_app_description, sizeof any_app.description - 1);
  PFW_RULE_RECORD inbound = {0, 0, 0, PFW_INBOUND, PFW_DENY, 1};
  PFW_RULE_RECORD outbound = {0, 0, 0, PFW_OUTBOUND, s.outbound_action, s.outbound_log};
  const std::string rules = BENCH_PRODUCT_KEY "\\Rules", set = rules + "\\" + s.rule_set;
  return write_value(BENCH_PRODUCT_KEY "\\Protocols", "0", REG_BINARY, &any_protocol, sizeof any_protocol) &&
         write_value(BENCH_PRODUCT_KEY "\\Addresses", "0", REG_BINARY, &any_address, sizeof any_address) &&
         write_value(BENCH_PRODUCT_KEY "\\Applications", "0", REG_BINARY, &any_app, sizeof any_app) &&
         write_text(rules.c_str(), "ActiveRuleSet", s.rule_set) &&
         (!s.edictor_path || write_text(rules.c_str(), "EdictorPath", s.edictor_path)) &&
         write_value(set.c_str(), "0,0,0,0", REG_BINARY, &inbound, sizeof inbound) &&
         write_value(set.c_str(), "0,0,0,1", REG_BINARY, &outbound, sizeof outbound) &&
         (!s.log_file || write_text(set.c_str(), "LogFile", s.log_file));
}

// Removes the maker's whole key, as the uninstaller leaves the machine.
inline void remove_product_keys() {
  HKEY software = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS, &software) != ERROR_SUCCESS) return;
  RegDeleteTreeA(software, "Velmora");
  RegDeleteKeyA(software, "Velmora");
  RegCloseKey(software);
}

struct BenchLists : tessary::ListSet {
  void add_wildcards() {
    PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0, 0);
    PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS, 0);
    PFW_AddApp(apps, 1, "", "Any Application", 0);
  }
};

#endif
