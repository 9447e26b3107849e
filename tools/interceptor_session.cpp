// interceptor_session.cpp - lookup, decision and the messages to the monitor.
#include "interceptor_session.h"

#include <string.h>

namespace interceptor {

bool Session::open(std::string& error, DWORD answer_ms, DWORD ask_ms) {
  lists_.emplace();
  if (!lists_->ok()) {
    error = "the rule store is not available (a shared list cannot be opened)";
    close();
    return false;
  }
  PFW_InitializeGlobalData();
  lists_->load_from_registry();
  roots_ = Roots{lists_->protocols, lists_->addresses, lists_->apps, lists_->rules};
  courier_.emplace(answer_ms);
  asker_.emplace(ask_ms);
  return true;
}

void Session::close() {
  roots_ = Roots{};
  lists_.reset();
  asker_.reset();
  courier_.reset();
}

Outcome Session::handle(const Attempt& a) {
  Outcome o = decide(a);
  Asker::Question q;
  if (o.decision.ask && ask(a, q))
    answer(a, o, asker_->wait(q));
  else if (q.refused)
    o.decision.why = q.refused;
  deliver(o);
  return o;
}

bool Session::ask(const Attempt& a, Asker::Question& q) const {
  // The service's name as the protocol list knows it, whatever rule governs.
  PFW_PROTO p;
  std::string service;
  if (PFW_GetExactProtocolByService(roots_.protocols, a.transport, a.port, nullptr, &p) && !p.any)
    service.assign(p.name, strnlen(p.name, sizeof p.name));
  return asker_ && asker_->ask(a, service, q);
}

void Session::answer(const Attempt& a, Outcome& o, int answer) const {
  o.decision = answered(o.rule, answer, current_switches());
  SYSTEMTIME now;
  GetLocalTime(&now);
  o.line = traffic_line(now, a, o.decision, o.run_mode, o.rule_key, &o.rule);
}

Session::Found Session::lookup(const Attempt& a, const std::string& program) const {
  Found f;
  // The rule's entries come with it, copied under the lookup's own holds.
  f.found = PFW_GetRuleWithEntries(roots_.rules, roots_.addresses, roots_.protocols, roots_.apps, a.port, a.transport,
                                   a.address, program.c_str(), a.direction, &f.key, &f.rule, &f.entries) != nullptr;
  return f;
}

// A rule for one application, rather than for any: only such a rule shows that
// the name, in the form tried, is one the rule set knows.
bool Session::names_an_application(const Found& f) const { return f.found && !f.entries.app.any; }

std::string Session::names_of(const PFW_RULE& rule) const {
  PFW_RULE_ENTRIES e = {};
  bool p = PFW_GetProtocolByIndex(roots_.protocols, (int)rule.protocol_key, &e.protocol) != nullptr;
  bool a = PFW_GetAddressByIndex(roots_.addresses, (int)rule.address_key, &e.address) != nullptr;
  bool x = PFW_GetAppByIndex(roots_.apps, (int)rule.app_key, &e.app) != nullptr;
  return names_from(rule, p ? &e.protocol : nullptr, a ? &e.address : nullptr, x ? &e.app : nullptr);
}

std::string Session::names_from(const PFW_RULE& rule, const PFW_PROTO* p, const PFW_ADR* a, const PFW_APP* x) {
  std::string protocol = p ? std::string(p->name, strnlen(p->name, sizeof p->name))
                           : "protocol " + std::to_string(rule.protocol_key) + " (gone)";
  if (protocol.empty())
    protocol = p->any ? "Any Protocol" : (p->transport == PFW_UDP ? "UDP/" : "TCP/") + std::to_string(p->port);
  std::string address = a ? std::string(a->name, strnlen(a->name, sizeof a->name))
                          : "address " + std::to_string(rule.address_key) + " (gone)";
  if (address.empty()) address = a->any ? "Any Address" : dotted(a->low);
  std::string app;
  if (!x) app = "application " + std::to_string(rule.app_key) + " (gone)";
  // The wildcard is known to the user by its description; its name may be "*".
  else if (x->any)
    app = x->description[0] ? std::string(x->description, strnlen(x->description, sizeof x->description))
                            : "Any Application";
  else
    app = std::string(x->name, strnlen(x->name, sizeof x->name));
  return std::string(rule.direction == PFW_INBOUND ? "in " : "out ") + excerpt(protocol) + ", " + excerpt(address) +
         ", " + excerpt(app);
}

std::string Session::rule_set() const {
  std::string out;
  uint32_t end = roots_.rules ? roots_.rules->next_key : 0;
  for (uint32_t key = 0; key < end; key++) {
    PFW_RULE r;
    if (!PFW_GetRuleByIndex(roots_.rules, (int)key, &r)) continue;
    const char* action = r.action == PFW_ALLOW  ? "allow"
                         : r.action == PFW_DENY ? "deny"
                         : r.action == PFW_ASK  ? "ask"
                                                : "?";
    out += "rule " + std::to_string(key) + ": " + names_of(r) + " -> " + action + (r.log ? ", logged" : "") + "\n";
  }
  return out;
}

Outcome Session::decide(const Attempt& a) const {
  Outcome o;
  Found f = lookup(a, a.program);
  o.names_application = names_an_application(f);
  if (!o.names_application) {
    std::string upper = capitals(a.program);
    if (upper != a.program) {
      Found again = lookup(a, upper);
      if (names_an_application(again)) {
        f = again;
        o.in_capitals = o.names_application = true;
      }
    }
  }
  if (f.found) {
    o.rule_key = f.key;
    o.rule = f.rule;
    o.rule_names = names_from(f.rule, &f.entries.protocol, &f.entries.address, &f.entries.app);
  }
  o.run_mode = PFW_GetRunMode();
  o.decision = interceptor::decide(o.run_mode, f.found ? &o.rule : nullptr, current_switches());
  SYSTEMTIME now;
  GetLocalTime(&now);
  o.line = traffic_line(now, a, o.decision, o.run_mode, o.rule_key, f.found ? &o.rule : nullptr);
  return o;
}

void Session::deliver(Outcome& o) {
  HWND monitor = courier_ ? courier_->monitor() : nullptr;
  if (monitor) o.lamp = courier_->lamp(monitor, !o.decision.allow);
  if (o.decision.log) o.delivery = monitor ? courier_->deliver(monitor, o.line) : Delivery::kNoMonitor;
}

std::string Session::summary(const Attempt& a, const Outcome& o) {
  std::string rule = o.rule_key >= 0 ? std::to_string(o.rule_key) + " (" + o.rule_names + ")" : "none";
  std::string why = o.decision.why;
  if (o.in_capitals) why += ", program matched in capitals";
  return describe(a) + " -> " + o.decision.word + " [" + why + "] mode=" + mode_word(o.run_mode) + " rule=" + rule +
         "; log: " + delivery_word(o.delivery);
}

Attempt Session::looked_up(const Attempt& a, const Outcome& o) {
  Attempt as = a;
  if (o.in_capitals) as.program = capitals(a.program);
  return as;
}

std::string Session::program_form(const Attempt& a, const Outcome& o) {
  std::string given = excerpt(a.program), upper = capitals(a.program);
  if (o.in_capitals)
    return "  program name: " + given + " found only a rule for any application; in capitals, " + excerpt(upper) +
           ", it matched a rule naming it\n";
  if (o.names_application) return "  program name: " + given + " matched as given\n";
  if (upper != a.program)
    return "  program name: " + given + " found no rule naming it, as given or in capitals (" + excerpt(upper) + ")\n";
  return "  program name: " + given + " found no rule naming it\n";
}

}  // namespace interceptor
