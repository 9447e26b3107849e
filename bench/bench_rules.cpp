// What rules.exe costs on a rule set at the rule list's capacity (1,364 rules over
// 60 protocols, 12 addresses and 24 programs): an import onto the installed set, an
// export of it, a second import of the same file (nothing to change), and the same
// import again while another program holds the lists (so the changes go into live
// lists). Each is one run of rules.exe, timed from its start to its end, as a user
// waits for it; the target is at most 2 s each.
//
// It makes its own registry keys (a starting set like the installed one) and removes
// them afterwards; it refuses to run when the maker's key is already there.
#include <stdio.h>

#include <string>

#include "bench_support.h"
#include "rules_format.h"

namespace {

const StartingSet kStartingSet{"Default", "*", "Any Application", PFW_ASK, 1, nullptr, "C:\\connections.log"};

std::string capacity_file() {
  using namespace rulesfile;
  RuleSet s;
  s.has_log_file = true;
  s.log_file = "C:\\Logs\\imported.log";
  s.protocols = {{"", true, "Any Protocol"}};
  s.addresses = {{"", true, "Any Address"}};
  s.apps = {{"", true, "*", "Any Application"}};
  s.rules = {{kInbound, kDeny, true, 0, 0, 0}, {kOutbound, kAsk, true, 0, 0, 0}};
  for (int i = 0; i < 60; i++) s.protocols.push_back({"", false, "Service " + std::to_string(i), i % 2, 2000u + i});
  for (int i = 0; i < 12; i++)
    s.addresses.push_back({"", false, "Net " + std::to_string(i), kRange, (uint32_t)(10 | (i << 8)),
                           (uint32_t)(10 | (i << 8) | (255u << 24))});
  for (int i = 0; i < 24; i++)
    s.apps.push_back({"", false, "PROGRAM" + std::to_string(i) + ".EXE", "Program number " + std::to_string(i)});
  for (size_t p = 1; p < s.protocols.size(); p++)
    for (size_t x = 1; x < s.apps.size(); x++)
      for (int d : {kInbound, kOutbound})
        if (s.rules.size() < PFW_RULE_SLOTS)
          s.rules.push_back({d, (int)((p + x) % 3), (p + x) % 2 == 0, p, (p + x) % s.addresses.size(), x});
  Latin1 cp;
  std::string text;
  Fault fault;
  if (!write_rule_set(s, cp, text, fault)) fprintf(stderr, "bench_rules: %s\n", describe(fault).c_str());
  return text;
}

std::string here() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string p(path, n);
  return p.substr(0, p.find_last_of("\\/") + 1);
}

// One run of rules.exe: its exit code and how long it took, in ms.
int run_rules(const std::string& args, double& ms) {
  std::string command = "\"" + here() + "rules.exe\" " + args;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  SetHandleInformation(nul, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  si.hStdOutput = nul;
  fflush(stdout);
  si.hStdError = GetStdHandle(STD_OUTPUT_HANDLE);  // its timed steps, before the line of the run
  PROCESS_INFORMATION pi = {};
  double start = now_ms();
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(nul);
    return -1;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  ms = now_ms() - start;
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(nul);
  return (int)code;
}

bool report(const char* what, const std::string& args) {
  double ms = 0;
  int code = run_rules(args, ms);
  printf("  %-58s %8.1f ms  %s\n", what, ms, code != 0 ? "FAILED" : ms <= 2000 ? "(within 2 s)" : "(OVER 2 s)");
  fflush(stdout);
  return code == 0;
}

}  // namespace

int main() {
  SetEnvironmentVariableA("TARNWALL_RULES_TIMING", "1");
  HKEY existing = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora", 0, KEY_READ, &existing) == ERROR_SUCCESS) {
    RegCloseKey(existing);
    fputs("bench_rules: the maker's key exists already; run in a prefix of its own\n", stderr);
    return 1;
  }
  if (!install_starting_set(kStartingSet)) {
    fputs("bench_rules: cannot make the registry keys\n", stderr);
    remove_product_keys();
    return 1;
  }
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  std::string in = std::string(dir) + "bench-rules-in.txt", out = std::string(dir) + "bench-rules-out.txt";
  std::string text = capacity_file();
  FILE* f = fopen(in.c_str(), "wb");
  if (!f) return 1;
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  printf("Each run's steps, as rules.exe times them, come before its line (TARNWALL_RULES_TIMING).\n");
  printf("rules.exe on a set of %u rules (60 protocols, 12 addresses, 24 programs), file of %zu bytes:\n",
         PFW_RULE_SLOTS, text.size());
  bool ok = report("import onto the installed set (1,362 rules added)", "import \"" + in + "\"") &&
            report("export of the full set", "export \"" + out + "\"") &&
            report("the same import again (nothing to change)", "import \"" + in + "\"");
  if (ok) {
    // Back to the installed set, then the import into lists another program holds.
    remove_product_keys();
    install_starting_set(kStartingSet);
    BenchLists held;
    PFW_LoadAddressSetFromRegistry(held.addresses);
    PFW_LoadProtocolSetFromRegistry(held.protocols);
    PFW_LoadApplicationSetFromRegistry(held.apps);
    PFW_LoadRuleSetFromRegistry(held.rules);
    ok = report("import into lists a running program holds (1,362 added)", "import \"" + in + "\"") &&
         report("export from those lists", "export \"" + out + "\"");
  }
  DeleteFileA(in.c_str());
  DeleteFileA(out.c_str());
  remove_product_keys();
  return ok ? 0 : 1;
}
