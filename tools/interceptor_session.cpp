// interceptor_session.cpp - lookup, decision and the messages to the monitor.
#include "interceptor_session.h"

#include <string.h>

namespace interceptor {

bool Session::open(std::string& error, DWORD answer_ms) {
  roots_.protocols = PFW_JoinProtocolList();
  roots_.addresses = PFW_JoinAddressList();
  roots_.apps = PFW_JoinAppList();
  roots_.rules = PFW_JoinRuleList();
  if (!roots_.protocols || !roots_.addresses || !roots_.apps || !roots_.rules) {
    error = "the rule store is not available (a shared list cannot be opened)";
    close();
    return false;
  }
  PFW_InitializeGlobalData();
  PFW_LoadProtocolSetFromRegistry(roots_.protocols);
  PFW_LoadAddressSetFromRegistry(roots_.addresses);
  PFW_LoadApplicationSetFromRegistry(roots_.apps);
  PFW_LoadRuleSetFromRegistry(roots_.rules);
  courier_.emplace(answer_ms);
  return true;
}

void Session::close() {
  if (roots_.rules) PFW_RemoveRuleList(roots_.rules);
  if (roots_.apps) PFW_RemoveAppList(roots_.apps);
  if (roots_.addresses) PFW_RemoveAddressList(roots_.addresses);
  if (roots_.protocols) PFW_RemoveProtocolList(roots_.protocols);
  roots_ = Roots{};
  courier_.reset();
}

Outcome Session::handle(const Attempt& a) {
  Outcome o = decide(a);
  deliver(o);
  return o;
}

Outcome Session::decide(const Attempt& a) const {
  Outcome o;
  int key = -1;
  PFW_RULE copy;
  memset(&copy, 0, sizeof copy);
  bool found = PFW_GetRule(roots_.rules, roots_.addresses, roots_.protocols, roots_.apps, a.port, a.transport,
                           a.address, a.program.c_str(), a.direction, &key, &copy) != nullptr;
  if (found) {
    o.rule_key = key;
    o.rule = copy;
  }
  o.run_mode = PFW_GetRunMode();
  o.decision = interceptor::decide(o.run_mode, found ? &o.rule : nullptr, current_switches());
  SYSTEMTIME now;
  GetLocalTime(&now);
  o.line = traffic_line(now, a, o.decision, o.run_mode, o.rule_key, found ? &o.rule : nullptr);
  return o;
}

void Session::deliver(Outcome& o) {
  HWND monitor = courier_ ? courier_->monitor() : nullptr;
  if (monitor) o.lamp = courier_->lamp(monitor, !o.decision.allow);
  if (o.decision.log) o.delivery = monitor ? courier_->deliver(monitor, o.line) : Delivery::kNoMonitor;
}

std::string Session::summary(const Attempt& a, const Outcome& o) {
  std::string rule = o.rule_key >= 0 ? std::to_string(o.rule_key) : "none";
  return describe(a) + " -> " + o.decision.word + " [" + o.decision.why + "] mode=" + mode_word(o.run_mode) +
         " rule=" + rule + "; log: " + delivery_word(o.delivery);
}

}  // namespace interceptor
