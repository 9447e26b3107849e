// add_rules - adds rules to the installed rule store through the setup wizard's
// entry points, each written to the shared lists and the registry at once.
//
//   add_rules "<description>;<program>;<protocol>;<port>;<tcp|udp>;<in|out>;<allow|deny|ask>;<all|local>" ...
//
// Port 0 means any protocol; "local" limits the rule to this machine (127.0.0.1).
// A text too long for its field is refused rather than cut: a cut program name
// would never match a connection. Each rule is reported "stored" (new),
// "changed" (an existing rule for the same protocol, address, program and
// direction took the new action) or "unchanged".
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "list_set.h"
#include "tessary.h"

namespace {

const char kUsage[] =
    "usage: add_rules \"<description>;<program>;<protocol>;<port>;<tcp|udp>;<in|out>;<allow|deny|ask>;<all|local>\" "
    "...\n"
    "  description  at most 41 characters\n"
    "  program      the program's file name as connections give it, at most 29 characters (IEXPLORE.EXE)\n"
    "  protocol     the protocol's name, at most 19 characters\n"
    "  port         0 to 65535; 0 means any protocol\n"
    "  scope        all, or local for this machine only (127.0.0.1)\n"
    "  e.g. add_rules \"Web Browser;IEXPLORE.EXE;HTTP;80;tcp;out;allow;all\"\n";

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

// A word or text as a message quotes it: at most 40 characters.
std::string quoted(const std::string& text) {
  std::string shown = text.size() > 40 ? text.substr(0, 40) + "..." : text;
  for (char& c : shown)
    if ((unsigned char)c < 0x20 || c == 0x7F) c = '?';
  return "'" + shown + "'";
}

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
    if (*c == ';')
      parts.emplace_back();
    else
      parts.back() += *c;
  }
  return parts;
}

struct Rule {
  std::string description, program, protocol;
  int port = 0, transport = 0, direction = 0, action = 0, local = 0;
};

bool fits(const std::string& text, const char* field, size_t size, std::string& why) {
  if (text.size() < size) return true;
  why = field + std::string(" ") + quoted(text) + " is longer than " + std::to_string(size - 1) + " characters";
  return false;
}

bool word(const std::string& text, const char* field, std::initializer_list<const char*> words, const char* allowed,
          int& out, std::string& why) {
  out = choice(text, words);
  if (out >= 0) return true;
  why = field + std::string(" ") + quoted(text) + " is not " + allowed;
  return false;
}

bool parse(const char* text, Rule& rule, std::string& why) {
  std::vector<std::string> f = split(text);
  if (f.size() != 8) return why = "expected 8 fields separated by ';', found " + std::to_string(f.size()), false;
  rule.description = f[0];
  rule.program = f[1];
  rule.protocol = f[2];
  if (rule.program.empty()) return why = "the program name is empty", false;
  if (!fits(rule.description, "description", PFW_APP_DESCRIPTION_SIZE, why) ||
      !fits(rule.program, "program name", PFW_APP_NAME_SIZE, why) ||
      !fits(rule.protocol, "protocol name", PFW_PROTO_NAME_SIZE, why))
    return false;
  char* end = nullptr;
  long port = strtol(f[3].c_str(), &end, 10);
  if (f[3].empty() || *end || port < 0 || port > 65535)
    return why = "port " + quoted(f[3]) + " is not a number from 0 to 65535", false;
  rule.port = (int)port;
  return word(f[4], "transport", {"tcp", "udp"}, "tcp or udp", rule.transport, why) &&
         word(f[5], "direction", {"in", "out"}, "in or out", rule.direction, why) &&
         word(f[6], "action", {"allow", "deny", "ask"}, "allow, deny or ask", rule.action, why) &&
         word(f[7], "scope", {"all", "local"}, "all or local", rule.local, why);
}

const char* action_word(int action) {
  return action == PFW_ALLOW ? "allow" : action == PFW_DENY ? "deny" : action == PFW_ASK ? "ask" : "?";
}

// The lists the entry points fill, joined to see what a rule replaces.
struct Lists : tessary::ListSet {
  // The action of the rule the entry points would give the new action, or -1
  // when they would add one: the same entries they look up or add.
  int existing_action(const Rule& r) {
    if (!ok()) return -1;
    int pk = 0, ak = 0, xk = -1;
    PFW_PROTO p;
    if (r.port != 0 && (!PFW_GetExactProtocolByService(protocols, r.transport, (unsigned)r.port, &pk, &p) || p.any))
      return -1;
    if (!PFW_GetExactAppByName(apps, r.program.c_str(), &xk, nullptr)) return -1;
    if (r.local) {
      const unsigned long local_host = 0x0100007Ful;
      PFW_ADR a;
      if (!PFW_GetExactAddressByRange(addresses, local_host, local_host, &ak, &a) || a.any) return -1;
    }
    PFW_RULE rule;
    int key = -1;
    if (!PFW_GetRuleByNumbers(rules, pk, ak, xk, r.direction, &key, &rule)) return -1;
    return rule.action;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fputs(kUsage, stderr);
    return 1;
  }
  for (int i = 1; i < argc; i++)
    if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h") || !strcmp(argv[i], "/?")) {
      fputs(kUsage, stdout);
      return 0;
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
  {
    Lists lists;
    for (int i = 1; i < argc; i++) {
      Rule r;
      std::string why;
      if (!parse(argv[i], r, why)) {
        fprintf(stderr, "add_rules: %s rejected: %s\n", quoted(argv[i]).c_str(), why.c_str());
        failed++;
        continue;
      }
      int before = lists.existing_action(r);
      int stored = sw.add_rule(r.description.c_str(), r.program.c_str(), r.protocol.c_str(), r.port, r.transport,
                               r.direction, r.action, r.local);
      std::string what = !stored ? "FAILED" : before < 0 ? "stored" : before == r.action ? "unchanged" : "changed";
      if (stored && before >= 0 && before != r.action) what += std::string(" (was ") + action_word(before) + ")";
      printf("%-20s %-28s %s\n", what.c_str(), r.description.c_str(), argv[i]);
      failed += !stored;
    }
  }
  sw.shutdown();
  return failed ? 3 : 0;
}
