// interceptor_core.cpp - attempt syntax, decision table and traffic line.
#include "interceptor_core.h"

#include <stdio.h>
#include <string.h>

namespace interceptor {

Switches current_switches() {
  Switches s;
  s.log_fully_armed = PFW_GetLogFullyArmed();
  s.log_stand_by = PFW_GetLogStandBy();
  s.log_allow = PFW_GetLogAllow();
  s.log_deny = PFW_GetLogDeny();
  return s;
}

Decision decide(int run_mode, const PFW_RULE* rule, const Switches& s) {
  Decision d;
  switch (run_mode) {
    case PFW_MODE_BLOCK:
      d.why = "block mode";
      d.log = s.log_fully_armed && s.log_deny;
      return d;
    case PFW_MODE_STANDBY:
      d.allow = true;
      d.word = "allow";
      d.why = "stand-by mode";
      d.log = s.log_stand_by && s.log_allow;
      return d;
    case PFW_MODE_FILTER:
      break;
    default:
      d.why = "unknown run mode";
      d.log = s.log_deny != 0;
      return d;
  }
  if (!rule) {
    d.why = "no rule";
    d.log = s.log_deny != 0;
    return d;
  }
  d.why = "rule";
  switch (rule->action) {
    case PFW_ALLOW:
      d.allow = true;
      d.word = "allow";
      break;
    case PFW_ASK:
      d.word = "ask:deny";
      d.why = "ask rule, no monitor to ask";
      d.ask = true;
      break;
    case PFW_DENY:
      break;
    default:
      d.why = "rule with unknown action";
      break;
  }
  d.log = rule->log != 0 && (d.allow ? s.log_allow : s.log_deny) != 0;
  return d;
}

Decision answered(const PFW_RULE& rule, int answer, const Switches& s) {
  Decision d;
  bool remembered = answer != kNoAnswer && (answer & kRememberedAnswer);
  if (answer != kNoAnswer) answer &= ~kRememberedAnswer;
  if (answer == PFW_ALLOW) {
    d.allow = true;
    d.word = remembered ? "ask:allow (remembered)" : "ask:allow";
    d.why = remembered ? "asked, the monitor remembered the user allowed it" : "asked, the user allowed it";
  } else if (answer == PFW_DENY) {
    d.word = remembered ? "ask:deny (remembered)" : "ask:deny";
    d.why = remembered ? "asked, the monitor remembered the user denied it" : "asked, the user denied it";
  } else {
    d.word = "ask:timeout";
    d.why = "asked, no answer in time";
  }
  d.log = rule.log != 0 && (d.allow ? s.log_allow : s.log_deny) != 0;
  return d;
}

std::string mode_word(int run_mode) {
  switch (run_mode) {
    case PFW_MODE_FILTER:
      return "filter";
    case PFW_MODE_BLOCK:
      return "block";
    case PFW_MODE_STANDBY:
      return "standby";
    default:
      return std::to_string(run_mode);
  }
}

std::string capitals(std::string_view name) {
  std::string upper(name);
  if (!upper.empty()) CharUpperBuffA(upper.data(), (DWORD)upper.size());
  return upper;
}

std::string describe(const Attempt& a) {
  return std::string(a.direction == PFW_INBOUND ? "in" : "out") + (a.transport == PFW_UDP ? " UDP/" : " TCP/") +
         std::to_string(a.port) + " " + dotted(a.address) + " " + printable(a.program);
}

std::string traffic_line(const SYSTEMTIME& when, const Attempt& a, const Decision& d, int run_mode, int rule_key,
                         const PFW_RULE* rule) {
  char head[96];
  snprintf(head, sizeof head, "%04u-%02u-%02u %02u:%02u:%02u %s %s/%u %s ", when.wYear, when.wMonth, when.wDay,
           when.wHour, when.wMinute, when.wSecond, a.direction == PFW_INBOUND ? "in" : "out",
           a.transport == PFW_UDP ? "UDP" : "TCP", a.port, dotted(a.address).c_str());
  char tail[128];
  if (rule && rule_key >= 0)
    snprintf(tail, sizeof tail, " %s mode=%s rule=%d:%d,%d,%d,%d\n", d.word, mode_word(run_mode).c_str(), rule_key,
             (int)rule->protocol_key, (int)rule->address_key, (int)rule->app_key, rule->direction);
  else
    snprintf(tail, sizeof tail, " %s mode=%s rule=none\n", d.word, mode_word(run_mode).c_str());

  size_t room = PFW_TRAFFIC_SIZE - 1;
  size_t fixed = strlen(head) + strlen(tail);
  std::string program = printable(a.program);
  if (fixed >= room)
    program.clear();  // cannot happen with these fields, but never overflow
  else if (program.size() > room - fixed)
    program.resize(room - fixed);
  std::string line = std::string(head) + program + tail;
  if (line.size() > room) line.resize(room);
  return line;
}

}  // namespace interceptor
