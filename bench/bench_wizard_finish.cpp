// What the setup wizard's Finish costs with a full rule table: the five sample
// application lists beside the program, copied with shifted ports until the table holds
// 1,000 rules, saved through tessary.dll as Finish saves them; then the same Finish again
// over the stored set (every rule found and updated). Also how long reading the lists takes.
//
// It makes its own registry keys (a starting set like the installed one) and removes them
// afterwards; it refuses to run when the maker's key is already there.
#include <stdio.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "bench_support.h"
#include "lists.h"
#include "save.h"

namespace {

const char* const kMaker = "SOFTWARE\\Velmora";

const StartingSet kStartingSet{"Default", "*", "Any Application",
                               PFW_ASK,   1,   "C:\\Program Files\\Velmora\\Tarnwall\\edictor.exe"};

std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Copy `k` of a sample list: every port moved up by k * 1000 (kept in range) and the
// protocol named after it, so each copy brings new services for the same programs.
std::string scaled_copy(const std::string& sample, int k) {
  kindler::FieldReader reader(sample);
  std::vector<std::string> f;
  kindler::Failure failure;
  std::string out;
  while (!reader.AtEnd() && reader.ReadRecord(8, f, failure)) {
    int port = (atoi(f[4].c_str()) + k * 1000) % 32000 + (k ? 1 : 0);
    out += f[0] + ",\"" + f[1] + "\"," + f[2] + "," + f[3] + (k ? "-" + std::to_string(k) : "") + "," +
           std::to_string(port) + "," + f[5] + "," + f[6] + "," + f[7] + "\r\n";
  }
  return out;
}

}  // namespace

int main() {
  HKEY existing = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMaker, 0, KEY_READ, &existing) == ERROR_SUCCESS) {
    RegCloseKey(existing);
    printf("HKEY_LOCAL_MACHINE\\%s exists already; not touching it.\n", kMaker);
    return 2;
  }

  // Reading the provider list and the five sample lists from disk, as accepting the provider page does.
  kindler::WizardLists samples;
  kindler::Failure failure;
  int step = 0;
  double t0 = now_ms();
  if (!samples.LoadProviderList(failure, step)) {
    printf("no PROVIDER.LST beside the benchmark: %s\n", failure.text.c_str());
    return 1;
  }
  for (const auto& p : samples.Providers()) samples.LoadApplicationList(p.listFile, p.name);
  samples.RemoveEmptyGroups();
  double read_ms = now_ms() - t0;
  printf("reading PROVIDER.LST and %d application lists: %.2f ms (%d rules, %d groups)\n", samples.ProviderCount(),
         read_ms, samples.RuleCount(), samples.GroupCount());

  // The scaled table: copies of every list until it is full.
  std::map<std::string, std::string> files;
  kindler::WizardLists lists([&](const std::string& name, std::string& content, kindler::Failure&) {
    content = files[name];
    return true;
  });
  for (int k = 0; lists.RuleCount() < kindler::kMaxRules && k < 40; ++k) {
    for (const auto& p : samples.Providers()) {
      files[p.listFile] = scaled_copy(read_file(p.listFile), k);
      lists.LoadApplicationList(p.listFile, p.name);
    }
  }
  lists.RemoveEmptyGroups();
  for (int g = 0; g < lists.GroupCount(); ++g) lists.SetAccess(g, g % 3);

  if (!install_starting_set(kStartingSet)) {
    printf("cannot make the registry keys\n");
    remove_product_keys();
    return 1;
  }
  int status = 0;
  {
    kindler::RuleStoreLink link;
    std::string path;
    double start = now_ms();
    bool first = link.SaveRuleSet(lists, path);
    double first_ms = now_ms() - start;
    // Finish a second time over the stored rules: each is found and its action set again.
    start = now_ms();
    bool second = link.SaveRuleSet(lists, path);
    double second_ms = now_ms() - start;
    if (!first || !second) {
      printf("the save failed\n");
      status = 1;
    }
    printf("Finish with %d rules in %d groups: %.3f s (%.0f us a rule; goal: at most 1.0 s)\n", lists.RuleCount(),
           lists.GroupCount(), first_ms / 1e3, first_ms * 1e3 / lists.RuleCount());
    printf("Finish again over the stored rules (all updated): %.3f s (%.0f us a rule)\n", second_ms / 1e3,
           second_ms * 1e3 / lists.RuleCount());
  }
  remove_product_keys();
  return status;
}
