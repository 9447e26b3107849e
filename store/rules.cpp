// rules.cpp - the rule list: one rule per protocol, address, application and direction.
#include "find_or_add.h"
#include "key_text.h"
#include "shared_list.h"

using namespace tessary;

namespace {

auto same_numbers(int protocol_key, int address_key, int app_key, int direction) {
  return [=](const PFW_RULE& e) {
    return e.protocol_key == (uint32_t)protocol_key && e.address_key == (uint32_t)address_key &&
           e.app_key == (uint32_t)app_key && e.direction == direction;
  };
}

auto rule_writer(int protocol_key, int address_key, int app_key, int direction, int action, int log) {
  return [=](PFW_RULE& e) {
    // The field keeps the first 11 characters; the registry value is named by the
    // whole text, formed again from the four numbers whenever it is needed.
    char key_text[PFW_RULE_KEY_TEXT_MAX];
    rule_key_text(key_text, sizeof key_text, protocol_key, address_key, app_key, direction);
    copy_field(e.key_text, sizeof e.key_text, key_text);
    e.protocol_key = (uint32_t)protocol_key;
    e.address_key = (uint32_t)address_key;
    e.app_key = (uint32_t)app_key;
    e.direction = direction;
    e.action = action;
    e.log = log;
    e.kind = PFW_KIND_RULE;
  };
}

}  // namespace

PFW_RULE* tessary::set_or_add_rule(PFW_RULE_ROOT* root, int protocol_key, int address_key, int app_key, int direction,
                                   int action, int* key, PFW_RULE* copy, bool* added) {
  auto same = same_numbers(protocol_key, address_key, app_key, direction);
  return find_or_insert_entry<PFW_RULE>(
      kRules, root, same, [&](PFW_RULE& e) { e.action = action; }, same,
      rule_writer(protocol_key, address_key, app_key, direction, action, 1), false, key, copy, added);
}

extern "C" {

int PFW_AddRule(PFW_RULE_ROOT* root, int protocol_key, int address_key, int app_key, int direction, int action,
                int log) {
  return insert_entry<PFW_RULE>(kRules, root, same_numbers(protocol_key, address_key, app_key, direction),
                                rule_writer(protocol_key, address_key, app_key, direction, action, log), false, 0,
                                false);
}

int PFW_DeleteRule(PFW_RULE_ROOT* root, int key) { return unlink_entry<PFW_RULE>(kRules, root, key); }

PFW_RULE* PFW_GetRuleByNumbers(PFW_RULE_ROOT* root, int protocol_key, int address_key, int app_key, int direction,
                               int* out_key, PFW_RULE* out_copy) {
  return walk_list<PFW_RULE>(
      kRules, root,
      [&](const PFW_RULE& e) {
        return e.protocol_key == (uint32_t)protocol_key && e.address_key == (uint32_t)address_key &&
               e.app_key == (uint32_t)app_key && e.direction == direction;
      },
      out_key, out_copy);
}

PFW_RULE* PFW_GetRuleByIndex(PFW_RULE_ROOT* root, int key, PFW_RULE* out_copy) {
  return walk_list<PFW_RULE>(
      kRules, root, [&](const PFW_RULE& e) { return e.key == (uint32_t)key; }, nullptr, out_copy);
}

int PFW_RuleScore(int specific_protocol, int specific_app, int specific_address) {
  int p = specific_protocol ? 1 : 0, x = specific_app ? 1 : 0, a = specific_address ? 1 : 0;
  return (p + x + a) * (4 * p + 2 * x + a);
}

}  // extern "C"
