// lists.cpp - the exported create, join and remove calls and the key-text builders.
#include <stdio.h>

#include "key_text.h"
#include "shared_list.h"

using namespace tessary;

extern "C" {

// Create and join are one operation: whoever comes first creates, the others join.
PFW_PROTO_ROOT* PFW_CreateProtocolList(void) { return (PFW_PROTO_ROOT*)open_list(kProtocols); }
PFW_PROTO_ROOT* PFW_JoinProtocolList(void) { return (PFW_PROTO_ROOT*)open_list(kProtocols); }
PFW_ADR_ROOT* PFW_CreateAddressList(void) { return (PFW_ADR_ROOT*)open_list(kAddresses); }
PFW_ADR_ROOT* PFW_JoinAddressList(void) { return (PFW_ADR_ROOT*)open_list(kAddresses); }
PFW_APP_ROOT* PFW_CreateAppList(void) { return (PFW_APP_ROOT*)open_list(kApps); }
PFW_APP_ROOT* PFW_JoinAppList(void) { return (PFW_APP_ROOT*)open_list(kApps); }
PFW_RULE_ROOT* PFW_CreateRuleList(void) { return (PFW_RULE_ROOT*)open_list(kRules); }
PFW_RULE_ROOT* PFW_JoinRuleList(void) { return (PFW_RULE_ROOT*)open_list(kRules); }

int PFW_RemoveProtocolList(PFW_PROTO_ROOT* root) { return remove_list(kProtocols, root); }
int PFW_RemoveAddressList(PFW_ADR_ROOT* root) { return remove_list(kAddresses, root); }
int PFW_RemoveAppList(PFW_APP_ROOT* root) { return remove_list(kApps, root); }
int PFW_RemoveRuleList(PFW_RULE_ROOT* root) { return remove_list(kRules, root); }

namespace {
thread_local char t_key_text[PFW_RULE_KEY_TEXT_MAX];
}

const char* PFW_CreateProtocolKey(int any, int transport, unsigned port) {
  protocol_key_text(t_key_text, sizeof t_key_text, any, transport, port);
  return t_key_text;
}

const char* PFW_CreateAddressKey(int any, unsigned long low, unsigned long high, int type) {
  address_key_text(t_key_text, sizeof t_key_text, any, low, high, type);
  return t_key_text;
}

const char* PFW_CreateAppKey(int any, const char* name) {
  app_key_text(t_key_text, sizeof t_key_text, any, name);
  return t_key_text;
}

const char* PFW_CreateRuleKey(int protocol_key, int address_key, int app_key, int direction) {
  rule_key_text(t_key_text, sizeof t_key_text, protocol_key, address_key, app_key, direction);
  return t_key_text;
}

}  // extern "C"

extern "C" unsigned long long PFW_GetLockHoldCount(void) { return tessary::lock_holds(); }
extern "C" unsigned long long PFW_GetDeadHolderCount(void) { return tessary::dead_holders(); }
extern "C" unsigned long long PFW_GetUndoneChangeCount(void) { return tessary::undone_changes(); }

extern "C" int PFW_CheckListStructure(int list, void* root, char* problem, int problem_size) {
  char scratch[8];
  if (!problem || problem_size <= 0) problem = scratch, problem_size = (int)sizeof scratch;
  problem[0] = 0;
  if (list < 0 || list >= kListCount || !root) {
    snprintf(problem, (size_t)problem_size, "no such list");
    return 0;
  }
  ListLock lock((ListId)list, root);
  if (!lock.held()) {
    snprintf(problem, (size_t)problem_size, "the list's lock could not be taken");
    return 0;
  }
  return check_structure((ListId)list, root, lock.journal(), problem, (size_t)problem_size) ? 1 : 0;
}
