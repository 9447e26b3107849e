// list_set.h - the four lists (protocols, addresses, applications, rules) held
// together by one process for as long as one object lives. Whoever comes first
// creates them, the others join; each list this object opened is removed by it
// and by nothing else, whatever happened to the others.
//
// Header only: a program that links tessary uses it through the exported calls.
#ifndef TARNWALL_LIST_SET_H
#define TARNWALL_LIST_SET_H

#include "tessary.h"

namespace tessary {

class ListSet {
 public:
  // Creates or joins all four; ok() says whether every one is there.
  ListSet() { open(); }
  ~ListSet() { close(); }
  ListSet(const ListSet&) = delete;
  ListSet& operator=(const ListSet&) = delete;

  // Lets go of what this object holds, then creates or joins the four again, in the
  // order the setup entry points use. True when all four are there.
  bool open() {
    close();
    addresses = PFW_CreateAddressList();
    protocols = PFW_CreateProtocolList();
    apps = PFW_CreateAppList();
    rules = PFW_CreateRuleList();
    return ok();
  }

  // Removes the lists this object opened; the pointers are null afterwards.
  void close() {
    if (addresses) PFW_RemoveAddressList(addresses);
    if (protocols) PFW_RemoveProtocolList(protocols);
    if (apps) PFW_RemoveAppList(apps);
    if (rules) PFW_RemoveRuleList(rules);
    addresses = nullptr;
    protocols = nullptr;
    apps = nullptr;
    rules = nullptr;
  }

  bool ok() const { return protocols && addresses && apps && rules; }

  // Fills each list that is still empty from the registry (a filled one stays as it
  // is). False, and nothing read, unless all four are there.
  bool load_from_registry() const {
    if (!ok()) return false;
    PFW_LoadAddressSetFromRegistry(addresses);
    PFW_LoadProtocolSetFromRegistry(protocols);
    PFW_LoadApplicationSetFromRegistry(apps);
    PFW_LoadRuleSetFromRegistry(rules);
    return true;
  }

  // Roots in this process's views; null when that list could not be opened. Set by
  // open() and close() only.
  PFW_PROTO_ROOT* protocols = nullptr;
  PFW_ADR_ROOT* addresses = nullptr;
  PFW_APP_ROOT* apps = nullptr;
  PFW_RULE_ROOT* rules = nullptr;
};

}  // namespace tessary

#endif  // TARNWALL_LIST_SET_H
