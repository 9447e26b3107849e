// wizard_memory_files.h - the wizard's lists read from files held in memory, and the
// messages the user was shown, for tests of the wizard's plain code.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "lists.h"

struct MemoryFiles {
  std::map<std::string, std::string> files;
  std::vector<std::string> messages;
  kindler::WizardLists lists{[this](const std::string& name, std::string& content, kindler::Failure& failure) {
                               auto it = files.find(name);
                               if (it == files.end()) {
                                 failure = {2, "No such file or directory"};
                                 return false;
                               }
                               content = it->second;
                               return true;
                             },
                             [this](const std::string& message) { messages.push_back(message); }};
};
