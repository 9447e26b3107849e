// bench_support.h - what the benchmarks share: one clock, and the four lists
// made for a run and removed after it.
#ifndef TARNWALL_BENCH_SUPPORT_H
#define TARNWALL_BENCH_SUPPORT_H

#include <windows.h>

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
inline unsigned long ip(int a, int b, int c, int d) {
  return (unsigned long)(a | (b << 8) | (c << 16) | (d << 24));
}

// A benchmark makes the product's keys itself, as the installer would: the store never
// creates a key.
inline bool write_value(const char* path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  LONG r = RegSetValueExA(key, name, 0, type, (const BYTE*)data, size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

struct BenchLists {
  PFW_PROTO_ROOT* protocols = PFW_CreateProtocolList();
  PFW_ADR_ROOT* addresses = PFW_CreateAddressList();
  PFW_APP_ROOT* apps = PFW_CreateAppList();
  PFW_RULE_ROOT* rules = PFW_CreateRuleList();
  BenchLists() = default;
  BenchLists(const BenchLists&) = delete;
  BenchLists& operator=(const BenchLists&) = delete;
  bool ok() const { return protocols && addresses && apps && rules; }
  ~BenchLists() {
    PFW_RemoveRuleList(rules);
    PFW_RemoveAppList(apps);
    PFW_RemoveAddressList(addresses);
    PFW_RemoveProtocolList(protocols);
  }
  void add_wildcards() {
    PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0, 0);
    PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS, 0);
    PFW_AddApp(apps, 1, "", "Any Application", 0);
  }
};

#endif
