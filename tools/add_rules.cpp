// add_rules - adds rules to the installed rule store through the setup wizard's
// entry points, each written to the shared lists and the registry at once.
//
//   add_rules "<description>;<program>;<protocol>;<port>;<tcp|udp>;<in|out>;<allow|deny|ask>;<all|local>" ...
//
// Port 0 means any protocol; "local" limits the rule to this machine (127.0.0.1).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tessary.h"

namespace {

struct EntryPoints {
  HMODULE library = LoadLibraryA("tessary");
  SW_STARTUP_PROC startup = library ? (SW_STARTUP_PROC)(void*)GetProcAddress(library, "SW_Startup") : nullptr;
  SW_ADDRULE_PROC add_rule = library ? (SW_ADDRULE_PROC)(void*)GetProcAddress(library, "SW_AddRule") : nullptr;
  SW_SHUTDOWN_PROC shutdown = library ? (SW_SHUTDOWN_PROC)(void*)GetProcAddress(library, "SW_Shutdown") : nullptr;
  bool ok() const { return startup && add_rule && shutdown; }
  ~EntryPoints() {
    if (library) FreeLibrary(library);
  }
};

// One word out of a fixed set, case-insensitive; -1 when it is none of them.
int choice(const std::string& word, std::initializer_list<const char*> words) {
  int i = 0;
  for (const char* w : words) {
    if (_stricmp(word.c_str(), w) == 0) return i;
    i++;
  }
  return -1;
}

std::vector<std::string> split(const char* text) {
  std::vector<std::string> parts(1);
  for (const char* c = text; *c; c++) {
    if (*c == ';') parts.emplace_back();
    else parts.back() += *c;
  }
  return parts;
}

struct Rule {
  std::string description, program, protocol;
  int port, transport, direction, action, local;
};

bool parse(const char* text, Rule& rule, std::string& why) {
  std::vector<std::string> f = split(text);
  if (f.size() != 8) return why = "expected 8 fields separated by ';'", false;
  char* end = nullptr;
  long port = strtol(f[3].c_str(), &end, 10);
  rule = Rule{f[0], f[1], f[2], (int)port, choice(f[4], {"tcp", "udp"}), choice(f[5], {"in", "out"}),
              choice(f[6], {"allow", "deny", "ask"}), choice(f[7], {"all", "local"})};
  if (f[3].empty() || *end || port < 0 || port > 65535) return why = "port must be 0 to 65535", false;
  if (rule.transport < 0 || rule.direction < 0 || rule.action < 0 || rule.local < 0)
    return why = "transport, direction, action or scope is not one of the words allowed", false;
  if (rule.program.empty()) return why = "the program name is empty", false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fputs("usage: add_rules \"<description>;<program>;<protocol>;<port>;<tcp|udp>;<in|out>;<allow|deny|ask>;"
          "<all|local>\" ...\n",
          stderr);
    return 1;
  }
  EntryPoints sw;
  if (!sw.ok()) {
    fputs("add_rules: tessary.dll or its setup entry points could not be found\n", stderr);
    return 2;
  }
  char edictor[PFW_EDICTOR_PATH_SIZE + 1] = "";
  if (!sw.startup(edictor)) {
    fputs("add_rules: the rule store could not be opened (is Tarnwall installed?)\n", stderr);
    sw.shutdown();
    return 2;
  }
  int failed = 0;
  for (int i = 1; i < argc; i++) {
    Rule r;
    std::string why;
    if (!parse(argv[i], r, why)) {
      fprintf(stderr, "add_rules: \"%s\" rejected: %s\n", argv[i], why.c_str());
      failed++;
      continue;
    }
    int stored = sw.add_rule(r.description.c_str(), r.program.c_str(), r.protocol.c_str(), r.port, r.transport,
                             r.direction, r.action, r.local);
    printf("%s %-28s %s\n", stored ? "stored" : "FAILED", r.description.c_str(), argv[i]);
    failed += !stored;
  }
  sw.shutdown();
  return failed ? 3 : 0;
}
