// attempt_parse.cpp - reading one attempt line (attempt_parse.h).
#include "attempt_parse.h"

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

// A word as an error message quotes it.
std::string quoted(std::string_view word) { return "'" + excerpt(word) + "'"; }

}  // namespace

std::string printable(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if ((unsigned char)c < 0x20 || c == 0x7F) c = '?';
  return out;
}

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
  if (same_letters(word, "in") || same_letters(word, "inbound"))
    a.direction = PFW_INBOUND;
  else if (same_letters(word, "out") || same_letters(word, "outbound"))
    a.direction = PFW_OUTBOUND;
  else
    return fail(error, "direction " + quoted(word) + " is not in or out");

  word = next_word(rest);
  if (word.empty()) return fail(error, "transport missing (tcp or udp)");
  if (same_letters(word, "tcp"))
    a.transport = PFW_TCP;
  else if (same_letters(word, "udp"))
    a.transport = PFW_UDP;
  else
    return fail(error, "transport " + quoted(word) + " is not tcp or udp");

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

}  // namespace interceptor
