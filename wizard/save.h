// Kindler's Finish: the rule table written into the rule store through the three setup
// entry points of the library "tessary", bound by name at the first save.
#pragma once
#include <windows.h>

#include <string>

#include "lists.h"

namespace kindler {

class RuleStoreLink {
 public:
  explicit RuleStoreLink(std::string libraryName = "tessary") : libraryName_(std::move(libraryName)) {}
  ~RuleStoreLink();
  RuleStoreLink(const RuleStoreLink&) = delete;
  RuleStoreLink& operator=(const RuleStoreLink&) = delete;

  // Opens the store, adds one rule per entry of the rule table, group by group in page
  // order, and releases the store. True when every call succeeded. `edictorPath` is
  // the path the store reported, as written into a buffer of 512 blanks and trimmed:
  // it still ends with the NUL the library wrote (TrimEdictorPath takes it off).
  bool SaveRuleSet(const WizardLists& lists, std::string& edictorPath);

 private:
  using StartupProc = int(WINAPI*)(char*);
  using AddRuleProc = int(WINAPI*)(const char*, const char*, const char*, int, int, int, int, int);
  using ShutdownProc = int(WINAPI*)();
  // Loads the library and finds the entry points unless done already; false when any is missing.
  bool Bind();

  std::string libraryName_;
  HMODULE module_ = nullptr;
  StartupProc startup_ = nullptr;
  AddRuleProc addRule_ = nullptr;
  ShutdownProc shutdown_ = nullptr;
};

// `edictorPath` without blanks at its ends and without one NUL at its end.
std::string TrimEdictorPath(std::string edictorPath);
// The short form of an existing path; empty when the path does not exist.
std::string ShortPath(const std::string& path);

}  // namespace kindler
