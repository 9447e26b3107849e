// rules.exe - backs up the active rule set to a text file and brings it back.
//
//   rules export FILE   write the active rule set to FILE (UTF-8 text, one entry a line)
//   rules import FILE   replace the active rule set by FILE's, in the shared lists and the registry
//   rules check FILE    read and check FILE, change nothing
//
// The file format is described in rules_format.h and the README; what an import
// changes, and in what order, in rules_store.h.
//
// Exit codes: 0 done; 1 wrong usage; 2 the file cannot be read or has a fault
// (the first bad line is named); 3 the rule store is not available or cannot
// take the set, and nothing was changed; 4 the active set cannot be written to
// a file (an entry that cannot be represented, or the file cannot be made);
// 5 an import failed part-way (import the file again to finish it).
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "rules_format.h"
#include "rules_store.h"

using namespace rulesfile;
using namespace rulestore;

namespace {

const char kUsage[] =
    "usage: rules export FILE   write the active rule set to FILE\n"
    "       rules import FILE   replace the active rule set by the one in FILE\n"
    "       rules check FILE    check FILE and change nothing\n"
    "FILE is UTF-8 text, one entry a line (see the README). An import checks the whole file first\n"
    "and changes nothing when any line is wrong.\n"
    "Exit codes: 0 done, 1 wrong usage, 2 fault in the file, 3 the rule store cannot take it (nothing\n"
    "changed), 4 the rule set cannot be exported, 5 an import failed part-way (import again to finish).\n";

enum Exit { kOk = 0, kUsageError = 1, kBadFile = 2, kStoreRefused = 3, kExportFailed = 4, kPartial = 5 };

// A rule-set file is never near this; a larger one is not read into memory.
constexpr long long kLargestFile = 16ll << 20;

bool read_file(const std::string& path, std::string& text, std::string& why) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return why = "cannot be opened (error " + std::to_string(GetLastError()) + ")", false;
  LARGE_INTEGER size = {};
  bool ok = GetFileSizeEx(f, &size);
  if (ok && size.QuadPart > kLargestFile) {
    CloseHandle(f);
    return why = "is " + std::to_string(size.QuadPart) + " bytes long; a rule-set file is never larger than " +
                 std::to_string(kLargestFile) + " bytes",
           false;
  }
  text.resize(ok ? (size_t)size.QuadPart : 0);
  DWORD got = 0;
  ok = ok && (text.empty() || (ReadFile(f, text.data(), (DWORD)text.size(), &got, nullptr) && got == text.size()));
  CloseHandle(f);
  if (!ok) return why = "cannot be read", false;
  return true;
}

// Written beside the target and moved over it, so FILE is never left half written.
bool write_file(const std::string& path, const std::string& text, std::string& why) {
  std::string temporary = path + ".rules-tmp";
  HANDLE f = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return why = "cannot be created (error " + std::to_string(GetLastError()) + ")", false;
  DWORD put = 0;
  bool ok = WriteFile(f, text.data(), (DWORD)text.size(), &put, nullptr) && put == text.size() && FlushFileBuffers(f);
  CloseHandle(f);
  if (ok) ok = MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) {
    DeleteFileA(temporary.c_str());
    return why = "cannot be written (error " + std::to_string(GetLastError()) + ")", false;
  }
  return true;
}

std::string count(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string counts(const RuleSet& set) {
  return count(set.protocols.size(), "protocol", "protocols") + ", " +
         count(set.addresses.size(), "address", "addresses") + ", " +
         count(set.apps.size(), "application", "applications") + ", " + count(set.rules.size(), "rule", "rules");
}

void warn_if_pending() {
  std::string what;
  if (pending_import(what))
    fprintf(stderr,
            "rules: warning: an import of %s did not finish; the rule set may be partly old and partly new. "
            "Import that file again to finish it.\n",
            what.c_str());
}

bool load_file(const std::string& path, const Codepage& codepage, RuleSet& set) {
  std::string text, why;
  if (!read_file(path, text, why)) {
    fprintf(stderr, "rules: %s %s\n", path.c_str(), why.c_str());
    return false;
  }
  Fault fault;
  if (!read_rule_set(text, codepage, set, fault)) {
    fprintf(stderr, "rules: %s: %s\n", path.c_str(), describe(fault).c_str());
    return false;
  }
  return true;
}

int check(const std::string& path) {
  warn_if_pending();
  SystemCodepage codepage;
  RuleSet set;
  if (!load_file(path, codepage, set)) return kBadFile;
  printf("%s: OK: %s%s\n", path.c_str(), counts(set).c_str(), set.has_log_file ? ", a log file name" : "");
  return kOk;
}

int export_set(const std::string& path) {
  if (!store_installed()) {
    fputs("rules: Tarnwall's registry keys are missing (is Tarnwall installed?)\n", stderr);
    return kStoreRefused;
  }
  warn_if_pending();
  phase("start");
  StoreLists lists;
  if (!lists.load_from_registry()) {
    fputs("rules: the rule store's shared lists cannot be opened\n", stderr);
    return kStoreRefused;
  }
  phase("lists created or joined, and loaded");
  RuleSet set;
  std::vector<std::string> notes;
  read_live_set(lists, set, notes);
  phase("the lists' set read");
  set.has_log_file = read_log_file(set.log_file) && !set.log_file.empty();
  for (const std::string& note : notes) fprintf(stderr, "rules: note: %s\n", note.c_str());
  SystemCodepage codepage;
  std::string text, why;
  Fault fault;
  if (!write_rule_set(set, codepage, text, fault)) {
    fprintf(stderr, "rules: nothing exported: %s\n", describe(fault).c_str());
    return kExportFailed;
  }
  if (!write_file(path, text, why)) {
    fprintf(stderr, "rules: %s %s\n", path.c_str(), why.c_str());
    return kExportFailed;
  }
  phase("file written");
  printf("Exported %s to %s.\n", counts(set).c_str(), path.c_str());
  return kOk;
}

std::string change_summary(const ImportReport& r) {
  const char* kinds[4] = {"protocols", "addresses", "applications", "rules"};
  std::string text;
  for (int k = 0; k < 4; k++)
    if (r.added[k] || r.removed[k])
      text += std::string(text.empty() ? "" : "; ") + kinds[k] + " " + std::to_string(r.added[k]) + " added, " +
              std::to_string(r.removed[k]) + " removed";
  if (r.rules_changed)
    text += std::string(text.empty() ? "" : "; ") + count(r.rules_changed, "rule", "rules") +
            " took a new action or log flag";
  if (r.log_file_changed) text += std::string(text.empty() ? "" : "; ") + "a new log file name";
  if (text.empty()) text = "no entry changed";
  return text + "; registry values: " + std::to_string(r.values_written) + " written, " +
         std::to_string(r.values_deleted) + " deleted" +
         (r.lists_restarted ? "; the shared lists were started afresh" : "");
}

int import_set(const std::string& path) {
  SystemCodepage codepage;
  RuleSet set;
  if (!load_file(path, codepage, set)) {
    fputs("rules: nothing was changed\n", stderr);
    return kBadFile;
  }
  if (!store_installed()) {
    fputs("rules: Tarnwall's registry keys are missing (is Tarnwall installed?); nothing was changed\n", stderr);
    return kStoreRefused;
  }
  char full[MAX_PATH];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  std::string source = n > 0 && n < sizeof full ? std::string(full) : path;
  ImportReport report;
  std::string message;
  ImportResult result = import_rule_set(set, source, report, message);
  for (const std::string& note : report.notes) fprintf(stderr, "rules: note: %s\n", note.c_str());
  switch (result) {
    case ImportResult::kRefused:
      fprintf(stderr, "rules: %s: %s\n", path.c_str(), message.c_str());
      if (message.find("Nothing was changed") == std::string::npos) fputs("rules: nothing was changed\n", stderr);
      return kStoreRefused;
    case ImportResult::kFailed:
      fprintf(stderr, "rules: %s: %s\n", path.c_str(), message.c_str());
      return kPartial;
    case ImportResult::kDone:
      break;
  }
  if (!report.changed && !report.log_file_changed)
    printf("Nothing to change: the active rule set already is the one in %s (%s).\n", path.c_str(),
           counts(set).c_str());
  else
    printf("Imported %s from %s: %s.\n", counts(set).c_str(), path.c_str(), change_summary(report).c_str());
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h") || !strcmp(argv[1], "/?"))) {
    fputs(kUsage, stdout);
    return kOk;
  }
  if (argc != 3 || !argv[2][0]) {
    fputs(kUsage, stderr);
    return kUsageError;
  }
  std::string command = argv[1], path = argv[2];
  if (command == "check") return check(path);
  if (command == "export") return export_set(path);
  if (command == "import") return import_set(path);
  fprintf(stderr, "rules: unknown command '%s'\n%s", command.c_str(), kUsage);
  return kUsageError;
}
