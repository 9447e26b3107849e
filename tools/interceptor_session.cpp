// interceptor_session.cpp - lookup, decision and the messages to the monitor.
#include "interceptor_session.h"

#include <string.h>

namespace interceptor {
namespace {

// A monitor between recording its window and becoming ready answers 0; it is
// given a few chances before the line is taken back.
constexpr int kSendTries = 3;
constexpr DWORD kRetryPauseMs = 50;

}  // namespace

const char* delivery_word(Delivery d) {
  switch (d) {
    case Delivery::kNotLogged: return "not logged";
    case Delivery::kNoMonitor: return "no monitor";
    case Delivery::kSent: return "sent";
    case Delivery::kDropped: return "dropped, the monitor did not take it";
  }
  return "?";
}

bool Session::open(std::string& error) {
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
  message_ = RegisterWindowMessageA(PFW_PRIVATE_MESSAGE_NAME);
  return true;
}

void Session::close() {
  if (roots_.rules) PFW_RemoveRuleList(roots_.rules);
  if (roots_.apps) PFW_RemoveAppList(roots_.apps);
  if (roots_.addresses) PFW_RemoveAddressList(roots_.addresses);
  if (roots_.protocols) PFW_RemoveProtocolList(roots_.protocols);
  roots_ = Roots{};
}

Delivery Session::deliver(HWND monitor, const std::string& line) {
  PFW_TRAFFIC record;
  memset(&record, 0, sizeof record);
  memcpy(record.text, line.data(), line.size() < sizeof record.text ? line.size() : sizeof record.text - 1);
  // Waits while an earlier record is still in the mailbox.
  if (PFW_SetGlobalTraffic(record) != 0) return Delivery::kDropped;
  for (int attempt = 0; attempt < kSendTries; attempt++) {
    if (attempt > 0) Sleep(kRetryPauseMs);
    if (SendMessageA(monitor, message_, PFW_TRAFFIC_NOTIFY, 0) == 1) return Delivery::kSent;
    if (!IsWindow(monitor)) break;
  }
  // Left in the mailbox, the line would hold it for good: nothing else would
  // send the monitor a reason to look. If it did take it after all, this finds
  // the mailbox empty and the line counts as sent.
  PFW_TRAFFIC back;
  return PFW_GetGlobalTraffic(&back) ? Delivery::kDropped : Delivery::kSent;
}

Outcome Session::handle(const Attempt& a) {
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
  o.decision = decide(o.run_mode, found ? &o.rule : nullptr, current_switches());
  SYSTEMTIME now;
  GetLocalTime(&now);
  o.line = traffic_line(now, a, o.decision, o.run_mode, o.rule_key, found ? &o.rule : nullptr);

  HWND monitor = PFW_GetGlobalMonitorHwnd();
  bool present = monitor && IsWindow(monitor);
  if (present) o.lamp = PostMessageA(monitor, message_, PFW_ACTIVITY_NOTIFY, o.decision.allow ? 0 : 1) != 0;
  if (o.decision.log) o.delivery = present ? deliver(monitor, o.line) : Delivery::kNoMonitor;
  return o;
}

std::string Session::summary(const Attempt& a, const Outcome& o) {
  std::string rule = o.rule_key >= 0 ? std::to_string(o.rule_key) : "none";
  return describe(a) + " -> " + o.decision.word + " [" + o.decision.why + "] mode=" + mode_word(o.run_mode) +
         " rule=" + rule + "; log: " + delivery_word(o.delivery);
}

}  // namespace interceptor
