// interceptor_core.cpp - attempt syntax, decision table and traffic line.
#include "interceptor_core.h"

#include <stdio.h>
#include <string.h>

namespace interceptor {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// Takes the next blank-separated word off the front of s.
std::string_view next_word(std::string_view& s) {
  s = trim(s);
  size_t end = 0;
  while (end < s.size() && !is_blank(s[end])) end++;
  std::string_view word = s.substr(0, end);
  s.remove_prefix(end);
  return word;
}

bool same_letters(std::string_view word, const char* keyword) {
  size_t n = strlen(keyword);
  if (word.size() != n) return false;
  for (size_t i = 0; i < n; i++) {
    char c = word[i];
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    if (c != keyword[i]) return false;
  }
  return true;
}

// Decimal digits only, at most max_digits of them, value at most max_value.
bool parse_number(std::string_view s, size_t max_digits, unsigned max_value, unsigned& out) {
  if (s.empty() || s.size() > max_digits) return false;
  unsigned value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (unsigned)(c - '0');
  }
  if (value > max_value) return false;
  out = value;
  return true;
}

// Exactly four decimal parts of 0 to 255: none of the shorthand, octal or hex
// forms that inet_addr would also take, so what is typed is what is matched.
bool parse_address(std::string_view s, unsigned long& out) {
  unsigned long address = 0;
  for (int part = 0; part < 4; part++) {
    size_t dot = part < 3 ? s.find('.') : s.size();
    if (dot == std::string_view::npos) return false;
    unsigned value = 0;
    if (!parse_number(s.substr(0, dot), 3, 255, value)) return false;
    address |= (unsigned long)value << (8 * part);  // first part in the lowest byte: network order
    s.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  out = address;
  return true;
}

Parsed fail(std::string& error, std::string message) {
  error = std::move(message);
  return Parsed::kError;
}

// The program name as a line may carry it: control characters would split or
// garble the connection log.
std::string printable(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if ((unsigned char)c < 0x20 || c == 0x7F) c = '?';
  return out;
}

// A word as an error message quotes it.
std::string quoted(std::string_view word) { return "'" + excerpt(word) + "'"; }

}  // namespace

std::string excerpt(std::string_view text, size_t max_chars) {
  if (text.size() <= max_chars) return printable(text);
  return printable(text.substr(0, max_chars)) + "... (" + std::to_string(text.size()) + " bytes)";
}

Parsed parse_attempt(std::string_view line, Attempt& out, std::string& error) {
  std::string_view rest = trim(line);
  if (rest.empty() || rest.front() == '#') return Parsed::kSkip;
  // Cut at the NUL, "IE<NUL>XPLORE.EXE" would be decided as "IE".
  if (rest.find('\0') != std::string_view::npos) return fail(error, "the line holds a NUL byte");

  Attempt a;
  std::string_view word = next_word(rest);
  if (same_letters(word, "in") || same_letters(word, "inbound")) a.direction = PFW_INBOUND;
  else if (same_letters(word, "out") || same_letters(word, "outbound")) a.direction = PFW_OUTBOUND;
  else return fail(error, "direction " + quoted(word) + " is not in or out");

  word = next_word(rest);
  if (word.empty()) return fail(error, "transport missing (tcp or udp)");
  if (same_letters(word, "tcp")) a.transport = PFW_TCP;
  else if (same_letters(word, "udp")) a.transport = PFW_UDP;
  else return fail(error, "transport " + quoted(word) + " is not tcp or udp");

  word = next_word(rest);
  if (word.empty()) return fail(error, "port missing");
  if (!parse_number(word, 5, 65535, a.port))
    return fail(error, "port " + quoted(word) + " is not a number from 0 to 65535");

  word = next_word(rest);
  if (word.empty()) return fail(error, "remote address missing");
  if (!parse_address(word, a.address))
    return fail(error, "address " + quoted(word) + " is not dotted a.b.c.d with parts 0 to 255");

  std::string_view program = trim(rest);
  if (!program.empty() && program.front() == '"') {
    if (program.size() < 2 || program.back() != '"') return fail(error, "program name has no closing quote");
    program = program.substr(1, program.size() - 2);
  }
  if (program.empty()) return fail(error, "program name missing");
  for (char c : program)
    if ((unsigned char)c < 0x20 || c == 0x7F) return fail(error, "program name contains a control character");
  a.program.assign(program);
  out = std::move(a);
  return Parsed::kAttempt;
}

std::string dotted(unsigned long address) {
  char text[16];
  snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", address & 0xFF, (address >> 8) & 0xFF, (address >> 16) & 0xFF,
           (address >> 24) & 0xFF);
  return text;
}

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
    case PFW_MODE_FILTER: return "filter";
    case PFW_MODE_BLOCK: return "block";
    case PFW_MODE_STANDBY: return "standby";
    default: return std::to_string(run_mode);
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
  if (fixed >= room) program.clear();  // cannot happen with these fields, but never overflow
  else if (program.size() > room - fixed) program.resize(room - fixed);
  std::string line = std::string(head) + program + tail;
  if (line.size() > room) line.resize(room);
  return line;
}

}  // namespace interceptor
