// What the setup wizard's SW_AddRule costs: 1,000 distinct rules, then the same
// 1,000 again with another action, each timed as a whole, with the semaphore holds
// and registry calls that one call makes.
//
// It makes its own registry keys (the installed starting set) and removes them
// afterwards; it refuses to run when the maker's key is already there.
#include <stdio.h>

#include <algorithm>
#include <vector>

#include "bench_support.h"
#include "tessary.h"

namespace {

const char* const kMaker = "SOFTWARE\\Velmora";

const StartingSet kStartingSet{
    "Standard", "Any Application", "Every program", PFW_ALLOW, 0, "C:\\Program Files\\Tarnwall\\Edictor.exe"};

double now_seconds() { return now_us() / 1e6; }

constexpr int kCalls = 1000;
// The lists hold at most 545 applications and 861 protocols over their life, so
// 1,000 distinct rules share them: 500 programs, each with an outbound and an
// inbound rule, over 800 services.
constexpr int kApps = 500;
constexpr int kPorts = 800;

struct Pass {
  double seconds = 0;
  std::vector<unsigned long long> holds, registry;
  int failed = 0;
};

Pass run_pass(SW_ADDRULE_PROC add_rule, int action) {
  Pass pass;
  char app[32], description[48], service[24];
  double start = now_seconds();
  for (int i = 0; i < kCalls; i++) {
    snprintf(app, sizeof app, "PROGRAM%03d.EXE", i % kApps);
    snprintf(description, sizeof description, "Program number %d", i % kApps);
    snprintf(service, sizeof service, "Service %d", 3000 + i % kPorts);
    unsigned long long holds = PFW_GetLockHoldCount(), calls = PFW_GetRegistryCallCount();
    int direction = (i / kApps) % 2 ? PFW_INBOUND : PFW_OUTBOUND;
    if (add_rule(description, app, service, 3000 + i % kPorts, i % 2, direction, action, i % 7 == 0) != 1)
      pass.failed++;
    pass.holds.push_back(PFW_GetLockHoldCount() - holds);
    pass.registry.push_back(PFW_GetRegistryCallCount() - calls);
  }
  pass.seconds = now_seconds() - start;
  return pass;
}

void report(const char* title, const Pass& pass) {
  auto mean = [](const std::vector<unsigned long long>& v) {
    unsigned long long sum = 0;
    for (auto x : v) sum += x;
    return (double)sum / (double)v.size();
  };
  auto range = [](const std::vector<unsigned long long>& v) {
    return std::make_pair(*std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
  };
  auto [hmin, hmax] = range(pass.holds);
  auto [rmin, rmax] = range(pass.registry);
  printf("%s\n", title);
  printf("  total                 %.3f s for %d calls (%.0f us per call), %d failed\n", pass.seconds, kCalls,
         pass.seconds * 1e6 / kCalls, pass.failed);
  printf("  lock holds per call   mean %.2f, min %llu, max %llu\n", mean(pass.holds), hmin, hmax);
  printf("  registry calls        mean %.2f, min %llu, max %llu\n", mean(pass.registry), rmin, rmax);
  // The three kinds of new rule: new program and service, new service only, neither.
  if (pass.holds.size() == (size_t)kCalls) {
    printf(
        "  per kind (holds / registry calls): new program+service %llu / %llu, new service %llu / %llu, "
        "rule only %llu / %llu\n",
        pass.holds[1], pass.registry[1], pass.holds[kApps + 1], pass.registry[kApps + 1], pass.holds[kCalls - 1],
        pass.registry[kCalls - 1]);
  }
}

// What one semaphore hold and one registry call cost on this machine now, to read the figures against.
void calibrate() {
  PFW_PROTO_ROOT* protocols = PFW_CreateProtocolList();
  constexpr int kRounds = 2000;
  double start = now_seconds();
  for (int i = 0; i < kRounds; i++) PFW_GetProtocolByIndex(protocols, 0, nullptr);
  double hold = (now_seconds() - start) / kRounds;
  PFW_RemoveProtocolList(protocols);
  start = now_seconds();
  for (int i = 0; i < kRounds; i++) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE", &key) == ERROR_SUCCESS) RegCloseKey(key);
  }
  double pair = (now_seconds() - start) / kRounds;
  printf("reference: one lookup (one semaphore hold) %.1f us, one registry open + close %.1f us\n", hold * 1e6,
         pair * 1e6);
}

}  // namespace

int main() {
  HKEY existing = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMaker, 0, KEY_READ, &existing) == ERROR_SUCCESS) {
    RegCloseKey(existing);
    printf("HKEY_LOCAL_MACHINE\\%s exists already; not touching it.\n", kMaker);
    return 2;
  }
  if (!install_starting_set(kStartingSet)) {
    printf("cannot make the registry keys\n");
    remove_product_keys();
    return 1;
  }
  HMODULE module = LoadLibraryA("tessary");
  auto startup = module ? (SW_STARTUP_PROC)(void*)GetProcAddress(module, "SW_Startup") : nullptr;
  auto add_rule = module ? (SW_ADDRULE_PROC)(void*)GetProcAddress(module, "SW_AddRule") : nullptr;
  auto shutdown = module ? (SW_SHUTDOWN_PROC)(void*)GetProcAddress(module, "SW_Shutdown") : nullptr;
  char path[PFW_EDICTOR_PATH_SIZE];
  int status = 0;
  if (!startup || !add_rule || !shutdown || startup(path) != 1) {
    printf("the rule store does not start\n");
    status = 1;
  } else {
    Pass added = run_pass(add_rule, PFW_ALLOW);
    Pass changed = run_pass(add_rule, PFW_DENY);
    calibrate();
    shutdown();
    report("SW_AddRule, 1,000 new rules:", added);
    report("SW_AddRule, the same 1,000 again with another action:", changed);
    if (added.failed || changed.failed) status = 1;
  }
  remove_product_keys();
  return status;
}
