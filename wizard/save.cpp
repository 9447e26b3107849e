#include "save.h"

#include <cstring>

namespace kindler {

namespace {
constexpr int kBufferSize = 512;
}

RuleStoreLink::~RuleStoreLink() {
  if (module_) FreeLibrary(module_);
}

bool RuleStoreLink::Bind() {
  // A library that was missing at one Finish may be there at the next.
  if (!module_) module_ = LoadLibraryA(libraryName_.c_str());
  if (!module_) return false;
  if (!startup_)
    startup_ = reinterpret_cast<StartupProc>(reinterpret_cast<void*>(GetProcAddress(module_, "SW_Startup")));
  if (!addRule_)
    addRule_ = reinterpret_cast<AddRuleProc>(reinterpret_cast<void*>(GetProcAddress(module_, "SW_AddRule")));
  if (!shutdown_)
    shutdown_ = reinterpret_cast<ShutdownProc>(reinterpret_cast<void*>(GetProcAddress(module_, "SW_Shutdown")));
  return startup_ && addRule_ && shutdown_;
}

bool RuleStoreLink::SaveRuleSet(const WizardLists& lists, std::string& edictorPath) {
  const bool bound = Bind();
  // The library writes at most 255 bytes; one more byte keeps the blanks terminated.
  char buffer[kBufferSize + 1];
  memset(buffer, ' ', kBufferSize);
  buffer[kBufferSize] = '\0';
  int ok = bound && startup_ ? startup_(buffer) : 0;

  std::string text(buffer, kBufferSize);
  std::size_t first = text.find_first_not_of(' ');
  std::size_t last = text.find_last_not_of(' ');
  edictorPath = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);

  const auto& groups = lists.Groups();
  const auto& rules = lists.Rules();
  for (int g = 0; ok && g < static_cast<int>(groups.size()); ++g) {
    for (const WizardRule& rule : rules) {
      if (rule.group != g) continue;
      ok = bound ? addRule_(rule.description.c_str(), rule.applicationName.c_str(), rule.protocolName.c_str(),
                            rule.port, rule.transport, rule.direction, groups[g].access, rule.localOnly)
                 : 0;
      if (!ok) break;
    }
  }
  if (ok) ok = bound ? shutdown_() : 0;
  return ok != 0;
}

std::string TrimEdictorPath(std::string path) {
  std::size_t first = path.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  path = path.substr(first, path.find_last_not_of(' ') - first + 1);
  if (!path.empty() && path.back() == '\0') path.pop_back();
  return path;
}

std::string ShortPath(const std::string& path) {
  if (path.empty()) return std::string();
  char shortPath[kBufferSize];
  memset(shortPath, ' ', sizeof shortPath);
  // c_str() ends the text at an embedded NUL, where the library's text ends.
  DWORD written = GetShortPathNameA(path.c_str(), shortPath, kBufferSize - 1);
  if (written == 0 || written >= kBufferSize - 1) return std::string();
  std::string result(shortPath, written);
  std::size_t end = result.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : result.substr(0, end + 1);
}

}  // namespace kindler
