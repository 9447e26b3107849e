// rules_format.cpp - reading, checking and writing the rule-set file.
#include "rules_format.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace rulesfile {
namespace {

// ---------------------------------------------------------------------------
// UTF-8
// ---------------------------------------------------------------------------

// The code point at s[i] and its length in bytes; 0 when the bytes there are not
// the shortest UTF-8 form of a Unicode scalar value.
size_t decode(const std::string& s, size_t i, uint32_t& cp) {
  const unsigned char* p = (const unsigned char*)s.data() + i;
  size_t left = s.size() - i;
  if (p[0] < 0x80) {
    cp = p[0];
    return 1;
  }
  size_t n = p[0] >= 0xC2 && p[0] <= 0xDF ? 2 : p[0] >= 0xE0 && p[0] <= 0xEF ? 3 : p[0] >= 0xF0 && p[0] <= 0xF4 ? 4 : 0;
  if (n == 0 || left < n) return 0;
  cp = p[0] & (0x7F >> n);
  for (size_t k = 1; k < n; k++) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < smallest[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

void encode(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += (char)cp;
  } else if (cp < 0x800) {
    out += (char)(0xC0 | (cp >> 6));
    out += (char)(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += (char)(0xE0 | (cp >> 12));
    out += (char)(0x80 | ((cp >> 6) & 0x3F));
    out += (char)(0x80 | (cp & 0x3F));
  } else {
    out += (char)(0xF0 | (cp >> 18));
    out += (char)(0x80 | ((cp >> 12) & 0x3F));
    out += (char)(0x80 | ((cp >> 6) & 0x3F));
    out += (char)(0x80 | (cp & 0x3F));
  }
}

// Control characters have no place in any field or line: C0, DEL and C1.
bool is_control(uint32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

// A line as a message may quote it: at most 60 bytes of whole characters,
// anything unprintable or not UTF-8 shown as '?'.
std::string excerpt_of(const std::string& line) {
  std::string out;
  size_t i = 0;
  while (i < line.size()) {
    uint32_t cp = 0;
    size_t n = decode(line, i, cp);
    if (out.size() + (n ? n : 1) > 60) break;
    if (n == 0 || is_control(cp)) {
      out += '?';
      i += n ? n : 1;
    } else {
      out.append(line, i, n);
      i += n;
    }
  }
  if (i < line.size()) out += "...";
  return out;
}

std::string hex_byte(unsigned char b) {
  char text[8];
  snprintf(text, sizeof text, "0x%02X", b);
  return text;
}

// ---------------------------------------------------------------------------
// Words of a line
// ---------------------------------------------------------------------------

struct Token {
  std::string text;
  bool quoted = false;
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Splits a line at blanks. A quoted word runs to the next lone '"'; a doubled
// one inside stands for one '"'. False with the reason on a broken quote.
bool tokenize(const std::string& line, std::vector<Token>& tokens, std::string& why) {
  size_t i = 0;
  while (i < line.size()) {
    if (is_blank(line[i])) {
      i++;
      continue;
    }
    Token t;
    if (line[i] == '"') {
      t.quoted = true;
      size_t start = i + 1;
      for (i = start;; i++) {
        if (i >= line.size())
          return why = "a text opened at column " + std::to_string(start) + " has no closing '\"'", false;
        if (line[i] != '"') {
          t.text += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
          t.text += '"';
          i++;
        } else {
          break;
        }
      }
      i++;
      if (i < line.size() && !is_blank(line[i]))
        return why = "a text that ends at column " + std::to_string(i) + " runs straight into what follows", false;
    } else {
      while (i < line.size() && !is_blank(line[i])) {
        if (line[i] == '"') return why = "a '\"' inside a word at column " + std::to_string(i + 1), false;
        t.text += line[i++];
      }
    }
    tokens.push_back(t);
  }
  return true;
}

bool same_word(const Token& t, const char* word) {
  if (t.quoted || t.text.size() != strlen(word)) return false;
  for (size_t i = 0; i < t.text.size(); i++) {
    char c = t.text[i];
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

// One of a fixed set of words, in any case; -1 when none.
int word_index(const Token& t, std::initializer_list<const char*> words) {
  int i = 0;
  for (const char* w : words) {
    if (same_word(t, w)) return i;
    i++;
  }
  return -1;
}

// A short, printable form of a word for a message.
std::string shown(const std::string& text) { return "'" + excerpt_of(text) + "'"; }

bool parse_number(const std::string& text, uint32_t max, uint32_t& out) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (uint64_t)(c - '0');
  }
  if (v > max) return false;
  out = (uint32_t)v;
  return true;
}

bool parse_address(const std::string& text, uint32_t& out) {
  uint32_t value = 0;
  size_t start = 0;
  for (int octet = 0; octet < 4; octet++) {
    size_t end = text.find('.', start);
    if (octet == 3) {
      if (end != std::string::npos) return false;
      end = text.size();
    } else if (end == std::string::npos) {
      return false;
    }
    std::string part = text.substr(start, end - start);
    uint32_t v = 0;
    if (part.size() > 3 || !parse_number(part, 255, v)) return false;
    value |= v << (8 * octet);
    start = end + 1;
  }
  out = value;
  return true;
}

bool valid_label(const std::string& text) {
  if (text.empty() || text.size() > kLabelMax) return false;
  for (char c : text)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
          c == '.'))
      return false;
  return true;
}

// ---------------------------------------------------------------------------
// The reader
// ---------------------------------------------------------------------------

class Reader {
 public:
  Reader(const Codepage& codepage, RuleSet& out, Fault& fault) : cp_(codepage), set_(out), fault_(fault) {}

  bool read(const std::string& text) {
    set_ = RuleSet();
    size_t start = 0;
    int number = 0;
    bool header_seen = false;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      start = end + 1;
      number++;
      line_ = number;
      raw_ = line;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
      if (!check_bytes(line)) return false;
      size_t first = line.find_first_not_of(" \t");
      if (number > 1 && (first == std::string::npos || line[first] == '#')) continue;
      std::vector<Token> tokens;
      std::string why;
      if (!tokenize(line, tokens, why)) return fail(why);
      if (number == 1) {
        if (!header(tokens)) return false;
        header_seen = true;
        continue;
      }
      if (!entry(tokens)) return false;
    }
    line_ = 0;
    raw_.clear();
    if (!header_seen)
      return fail(std::string("the file is empty; it must start with the line '") + kHeaderWord + " " +
                  std::to_string(kVersion) + "'");
    return complete();
  }

 private:
  bool fail(const std::string& message) {
    fault_.line = line_;
    fault_.message = message;
    fault_.excerpt = line_ ? excerpt_of(raw_) : std::string();
    return false;
  }

  bool check_bytes(const std::string& line) {
    if (line.size() > kLongestLine)
      return fail("the line is " + std::to_string(line.size()) + " bytes long; no entry needs more than " +
                  std::to_string(kLongestLine));
    for (size_t i = 0; i < line.size();) {
      uint32_t cp = 0;
      size_t n = decode(line, i, cp);
      if (n == 0)
        return fail("byte " + hex_byte((unsigned char)line[i]) + " at column " + std::to_string(i + 1) +
                    " is not UTF-8 text");
      if (is_control(cp) && cp != '\t') {
        char code[16];
        snprintf(code, sizeof code, "U+%04X", (unsigned)cp);
        return fail(std::string("control character ") + code + " at column " + std::to_string(i + 1));
      }
      i += n;
    }
    return true;
  }

  bool header(const std::vector<Token>& t) {
    std::string expected = std::string("the first line must be '") + kHeaderWord + " " + std::to_string(kVersion) + "'";
    if (t.size() != 2 || !same_word(t[0], kHeaderWord) || t[1].quoted) return fail(expected);
    uint32_t version = 0;
    if (!parse_number(t[1].text, 0xFFFFFFFFu, version)) return fail(expected);
    if (version != (uint32_t)kVersion)
      return fail("version " + t[1].text + " is not one this program reads (it reads version " +
                  std::to_string(kVersion) + ")");
    return true;
  }

  bool entry(const std::vector<Token>& t) {
    switch (word_index(t[0], {"logfile", "protocol", "address", "application", "rule"})) {
      case 0:
        return log_file(t);
      case 1:
        return protocol(t);
      case 2:
        return address(t);
      case 3:
        return app(t);
      case 4:
        return rule(t);
      default:
        return fail(shown(t[0].text) +
                    " is not an entry; lines start with logfile, protocol, address, "
                    "application or rule");
    }
  }

  bool count(const std::vector<Token>& t, size_t n, const char* form) {
    if (t.size() == n) return true;
    return fail(std::string(t.size() < n ? "too few" : "too many") + " fields; the form is '" + form + "'");
  }

  // A text field: quoted, in the code page, within its limit.
  bool text(const Token& t, const char* what, size_t max, bool may_be_empty, std::string& out) {
    if (!t.quoted) return fail(std::string("the ") + what + " " + shown(t.text) + " must be in double quotes");
    // A tab may part the fields of a line, but no text of the store holds one.
    if (t.text.find('\t') != std::string::npos) return fail(std::string("the ") + what + " holds a tab");
    if (!cp_.to_ansi(t.text, out))
      return fail(std::string("the ") + what + " " + shown(t.text) + " holds a character that " + cp_.name() +
                  ", in which the rule store keeps its texts, does not have");
    if (out.empty() && !may_be_empty) return fail(std::string("the ") + what + " is empty");
    if (out.size() > max)
      return fail(std::string("the ") + what + " " + shown(t.text) + " is " + std::to_string(out.size()) +
                  " characters long; it may have at most " + std::to_string(max));
    return true;
  }

  template <typename Entry>
  bool label(const Token& t, std::map<std::string, size_t>& labels, size_t position, const char* kind, Entry& e) {
    if (t.quoted || !valid_label(t.text))
      return fail("the label " + shown(t.text) + " must be 1 to " + std::to_string(kLabelMax) +
                  " letters, digits, '_', '-' or '.'");
    auto [it, fresh] = labels.emplace(t.text, position);
    if (!fresh) return fail(std::string("the label ") + shown(t.text) + " is given to a second " + kind);
    e.label = t.text;
    e.line = line_;
    return true;
  }

  bool unique(std::map<std::string, int>& seen, const std::string& identity, const std::string& what) {
    auto [it, fresh] = seen.emplace(identity, line_);
    if (fresh) return true;
    return fail(what + " is already defined on line " + std::to_string(it->second));
  }

  bool room(size_t have, size_t max, const char* kind) {
    if (have < max) return true;
    return fail(std::string("more ") + kind + " than the rule store can ever hold (" + std::to_string(max) + ")");
  }

  bool log_file(const std::vector<Token>& t) {
    if (!count(t, 2, "logfile \"PATH\"")) return false;
    if (set_.has_log_file) return fail("a second logfile line; the first is on line " + std::to_string(log_line_));
    if (!text(t[1], "log file name", kLogFileMax, false, set_.log_file)) return false;
    set_.has_log_file = true;
    log_line_ = line_;
    return true;
  }

  bool protocol(const std::vector<Token>& t) {
    const char* form = "protocol LABEL tcp|udp PORT \"NAME\"' or 'protocol LABEL any \"NAME\"";
    if (t.size() < 3) return count(t, 4, form);
    Protocol p;
    if (!room(set_.protocols.size(), kProtocolsMax, "protocols") ||
        !label(t[1], protocol_labels_, set_.protocols.size(), "protocol", p))
      return false;
    if (same_word(t[2], "any")) {
      if (!count(t, 4, form)) return false;
      p.any = true;
    } else {
      if (!count(t, 5, form)) return false;
      int transport = word_index(t[2], {"tcp", "udp"});
      if (transport < 0) return fail("the transport " + shown(t[2].text) + " is not tcp, udp or any");
      p.transport = transport;
      if (t[3].quoted || !parse_number(t[3].text, 65535, p.port))
        return fail("the port " + shown(t[3].text) + " is not a number from 0 to 65535");
    }
    if (!text(t.back(), "protocol name", kProtocolNameMax, false, p.name)) return false;
    std::string what = p.any ? std::string("a protocol for any protocol")
                             : "a protocol for " + std::string(p.transport == kTcp ? "tcp" : "udp") + " port " +
                                   std::to_string(p.port);
    if (!unique(protocol_ids_, identity(p), what)) return false;
    set_.protocols.push_back(p);
    return true;
  }

  bool address(const std::vector<Token>& t) {
    const char* form =
        "address LABEL single A.B.C.D \"NAME\"', 'address LABEL range A.B.C.D A.B.C.D \"NAME\"' or "
        "'address LABEL any \"NAME\"";
    if (t.size() < 3) return count(t, 4, form);
    Address a;
    if (!room(set_.addresses.size(), kAddressesMax, "addresses") ||
        !label(t[1], address_labels_, set_.addresses.size(), "address", a))
      return false;
    int kind = word_index(t[2], {"any", "single", "range"});
    if (kind < 0) return fail("the address kind " + shown(t[2].text) + " is not single, range or any");
    if (!count(t, kind == 0 ? 4 : kind == 1 ? 5 : 6, form)) return false;
    a.any = kind == 0;
    a.type = kind == 2 ? kRange : kSingle;
    for (int i = 0; i < kind; i++) {
      uint32_t& field = i == 0 ? a.low : a.high;
      if (t[3 + i].quoted || !parse_address(t[3 + i].text, field))
        return fail("the address " + shown(t[3 + i].text) + " is not of the form A.B.C.D with numbers from 0 to 255");
    }
    if (kind == 1) a.high = a.low;
    if (kind == 2 && compare_addresses(a.low, a.high) > 0)
      return fail("the range starts at " + dotted(a.low) + ", after its end " + dotted(a.high));
    if (!text(t.back(), "address name", kAddressNameMax, false, a.name)) return false;
    std::string what = a.any       ? std::string("an address for any address")
                       : kind == 1 ? "the single address " + dotted(a.low)
                                   : "the range " + dotted(a.low) + " to " + dotted(a.high);
    if (!unique(address_ids_, identity(a), what)) return false;
    set_.addresses.push_back(a);
    return true;
  }

  bool app(const std::vector<Token>& t) {
    const char* form =
        "application LABEL \"PROGRAM\" \"DESCRIPTION\"' or 'application LABEL any \"NAME\" \"DESCRIPTION\"";
    if (t.size() < 3) return count(t, 4, form);
    App a;
    if (!room(set_.apps.size(), kAppsMax, "applications") ||
        !label(t[1], app_labels_, set_.apps.size(), "application", a))
      return false;
    a.any = same_word(t[2], "any");
    if (!count(t, a.any ? 5 : 4, form)) return false;
    if (!text(t[t.size() - 2], "program name", kAppNameMax, false, a.name) ||
        !text(t.back(), "description", kDescriptionMax, true, a.description))
      return false;
    if (!a.any && identity(a) == "<AnyApplication>")
      return fail("the program name " + shown(a.name) + " is the wildcard entry's own key and cannot name a program");
    if (!unique(
            app_ids_, identity(a),
            a.any ? std::string("an application for any application") : "the program " + shown(t[t.size() - 2].text)))
      return false;
    set_.apps.push_back(a);
    return true;
  }

  bool reference(const Token& t, const std::map<std::string, size_t>& labels, const char* kind, size_t& out) {
    auto it = t.quoted ? labels.end() : labels.find(t.text);
    if (it == labels.end())
      return fail(std::string("no ") + kind + " with the label " + shown(t.text) + " is defined above this rule");
    out = it->second;
    return true;
  }

  bool rule(const std::vector<Token>& t) {
    if (!count(t, 7, "rule in|out allow|deny|ask log|nolog PROTOCOL ADDRESS APPLICATION")) return false;
    Rule r;
    r.line = line_;
    if (!room(set_.rules.size(), kRulesMax, "rules")) return false;
    r.direction = word_index(t[1], {"in", "out"});
    if (r.direction < 0) return fail("the direction " + shown(t[1].text) + " is not in or out");
    r.action = word_index(t[2], {"allow", "deny", "ask"});
    if (r.action < 0) return fail("the action " + shown(t[2].text) + " is not allow, deny or ask");
    int log = word_index(t[3], {"nolog", "log"});
    if (log < 0) return fail("the log flag " + shown(t[3].text) + " is not log or nolog");
    r.log = log == 1;
    if (!reference(t[4], protocol_labels_, "protocol", r.protocol) ||
        !reference(t[5], address_labels_, "address", r.address) || !reference(t[6], app_labels_, "application", r.app))
      return false;
    auto [it, fresh] = rule_ids_.emplace(std::make_tuple(r.protocol, r.address, r.app, r.direction), line_);
    if (!fresh)
      return fail("a rule for the same protocol, address, application and direction is on line " +
                  std::to_string(it->second));
    set_.rules.push_back(r);
    return true;
  }

  // What the rest of the system relies on: a wildcard entry in each list and the
  // inbound and outbound default rules for any protocol, address and application.
  bool complete() {
    size_t wild[3] = {SIZE_MAX, SIZE_MAX, SIZE_MAX};
    for (size_t i = 0; i < set_.protocols.size(); i++)
      if (set_.protocols[i].any) wild[0] = i;
    for (size_t i = 0; i < set_.addresses.size(); i++)
      if (set_.addresses[i].any) wild[1] = i;
    for (size_t i = 0; i < set_.apps.size(); i++)
      if (set_.apps[i].any) wild[2] = i;
    const char* forms[3] = {"protocol LABEL any \"NAME\"", "address LABEL any \"NAME\"",
                            "application LABEL any \"NAME\" \"DESCRIPTION\""};
    const char* kinds[3] = {"protocol", "address", "application"};
    for (int k = 0; k < 3; k++)
      if (wild[k] == SIZE_MAX)
        return fail(std::string("the file has no wildcard ") + kinds[k] + " ('" + forms[k] +
                    "'), which every rule set needs");
    for (int direction : {kInbound, kOutbound}) {
      if (!rule_ids_.count(std::make_tuple(wild[0], wild[1], wild[2], direction)))
        return fail(std::string("the file has no ") + (direction == kInbound ? "inbound" : "outbound") +
                    " default rule ('rule " + (direction == kInbound ? "in" : "out") +
                    " ACTION log|nolog' naming the three wildcard entries), which every rule set needs");
    }
    return true;
  }

  const Codepage& cp_;
  RuleSet& set_;
  Fault& fault_;
  int line_ = 0;
  std::string raw_;
  int log_line_ = 0;
  std::map<std::string, size_t> protocol_labels_, address_labels_, app_labels_;
  std::map<std::string, int> protocol_ids_, address_ids_, app_ids_;
  std::map<std::tuple<size_t, size_t, size_t, int>, int> rule_ids_;
};

// ---------------------------------------------------------------------------
// The writer
// ---------------------------------------------------------------------------

std::string quote(const std::string& utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

const char* const kTransportWords[] = {"tcp", "udp"};
const char* const kDirectionWords[] = {"in", "out"};
const char* const kActionWords[] = {"allow", "deny", "ask"};

class Writer {
 public:
  Writer(const Codepage& codepage, Fault& fault) : cp_(codepage), fault_(fault) {}

  bool write(const RuleSet& set, std::string& out) {
    out = std::string(kHeaderWord) + " " + std::to_string(kVersion) + "\n";
    out += "# Tarnwall rule set: " + std::to_string(set.protocols.size()) + " protocols, " +
           std::to_string(set.addresses.size()) + " addresses, " + std::to_string(set.apps.size()) + " applications, " +
           std::to_string(set.rules.size()) + " rules.\n";
    out +=
        "# One entry per line. A rule names its protocol, address and application by the label\n"
        "# each has here (p.., a.., x..); importing gives them keys of the rule store's own.\n";
    std::string t1, t2;
    if (set.has_log_file) {
      if (!text(set.log_file, "the log file name", t1)) return false;
      out += "logfile " + t1 + "\n";
    }
    for (size_t i = 0; i < set.protocols.size(); i++) {
      const Protocol& p = set.protocols[i];
      what_ = "protocol key " + std::to_string(p.key);
      if (!text(p.name, "its name", t1)) return false;
      std::string label = "p" + std::to_string(i);
      if (p.any) {
        out += "protocol " + label + " any " + t1 + "\n";
        continue;
      }
      if (p.transport != kTcp && p.transport != kUdp)
        return fail("its transport " + std::to_string(p.transport) + " is neither tcp nor udp");
      if (p.port > 65535) return fail("its port " + std::to_string(p.port) + " is above 65535");
      out += "protocol " + label + " " + kTransportWords[p.transport] + " " + std::to_string(p.port) + " " + t1 + "\n";
    }
    for (size_t i = 0; i < set.addresses.size(); i++) {
      const Address& a = set.addresses[i];
      what_ = "address key " + std::to_string(a.key);
      if (!text(a.name, "its name", t1)) return false;
      std::string head = "address a" + std::to_string(i) + " ";
      if (a.any)
        out += head + "any " + t1 + "\n";
      else if (a.type == kSingle && a.low == a.high)
        out += head + "single " + dotted(a.low) + " " + t1 + "\n";
      else if (a.type == kRange && compare_addresses(a.low, a.high) <= 0)
        out += head + "range " + dotted(a.low) + " " + dotted(a.high) + " " + t1 + "\n";
      else
        return fail(a.type == kRange ? "its range starts after its end"
                    : a.type == kSingle
                        ? "it is a single address whose two bounds differ"
                        : "its address type " + std::to_string(a.type) + " is neither single nor range");
    }
    for (size_t i = 0; i < set.apps.size(); i++) {
      const App& a = set.apps[i];
      what_ = "application key " + std::to_string(a.key);
      if (!text(a.name, "its program name", t1) || !text(a.description, "its description", t2)) return false;
      out += "application x" + std::to_string(i) + (a.any ? " any " : " ") + t1 + " " + t2 + "\n";
    }
    for (const Rule& r : set.rules) {
      what_ = "rule key " + std::to_string(r.key);
      if (r.direction != kInbound && r.direction != kOutbound)
        return fail("its direction " + std::to_string(r.direction) + " is neither in nor out");
      if (r.action < kAllow || r.action > kAsk)
        return fail("its action " + std::to_string(r.action) + " is not allow, deny or ask");
      if (r.protocol >= set.protocols.size() || r.address >= set.addresses.size() || r.app >= set.apps.size())
        return fail("it names an entry the set does not hold");
      out += std::string("rule ") + kDirectionWords[r.direction] + " " + kActionWords[r.action] + " " +
             (r.log ? "log" : "nolog") + " p" + std::to_string(r.protocol) + " a" + std::to_string(r.address) + " x" +
             std::to_string(r.app) + "\n";
    }
    return true;
  }

 private:
  bool fail(const std::string& why) {
    fault_.line = 0;
    fault_.message = what_ + " cannot be written: " + why;
    fault_.excerpt.clear();
    return false;
  }

  bool text(const std::string& ansi, const char* field, std::string& out) {
    std::string utf8;
    if (!cp_.to_utf8(ansi, utf8))
      return fail(std::string(field) + " holds a byte that " + cp_.name() +
                  " gives no character for, or none that reads back as the same byte");
    for (size_t i = 0; i < utf8.size();) {
      uint32_t cp = 0;
      size_t n = decode(utf8, i, cp);
      if (n == 0 || is_control(cp)) return fail(std::string(field) + " holds a control character");
      i += n;
    }
    out = quote(utf8);
    return true;
  }

  const Codepage& cp_;
  Fault& fault_;
  std::string what_ = "the set";
};

bool same_rule_sets(const RuleSet& a, const RuleSet& b) {
  if (a.has_log_file != b.has_log_file || (a.has_log_file && a.log_file != b.log_file) ||
      a.protocols.size() != b.protocols.size() || a.addresses.size() != b.addresses.size() ||
      a.apps.size() != b.apps.size() || a.rules.size() != b.rules.size())
    return false;
  for (size_t i = 0; i < a.protocols.size(); i++) {
    const Protocol &x = a.protocols[i], &y = b.protocols[i];
    if (x.any != y.any || x.name != y.name || (!x.any && (x.transport != y.transport || x.port != y.port)))
      return false;
  }
  for (size_t i = 0; i < a.addresses.size(); i++) {
    const Address &x = a.addresses[i], &y = b.addresses[i];
    if (x.any != y.any || x.name != y.name || (!x.any && (x.type != y.type || x.low != y.low || x.high != y.high)))
      return false;
  }
  for (size_t i = 0; i < a.apps.size(); i++)
    if (a.apps[i].any != b.apps[i].any || a.apps[i].name != b.apps[i].name ||
        a.apps[i].description != b.apps[i].description)
      return false;
  for (size_t i = 0; i < a.rules.size(); i++) {
    const Rule &x = a.rules[i], &y = b.rules[i];
    if (x.direction != y.direction || x.action != y.action || x.log != y.log || x.protocol != y.protocol ||
        x.address != y.address || x.app != y.app)
      return false;
  }
  return true;
}

}  // namespace

bool Latin1::to_ansi(const std::string& utf8, std::string& ansi) const {
  ansi.clear();
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    size_t n = decode(utf8, i, cp);
    if (n == 0 || cp > 0xFF) return false;
    ansi += (char)cp;
    i += n;
  }
  return true;
}

bool Latin1::to_utf8(const std::string& ansi, std::string& utf8) const {
  utf8.clear();
  for (unsigned char b : ansi) encode(b, utf8);
  return true;
}

std::string describe(const Fault& fault) {
  std::string text = fault.line ? "line " + std::to_string(fault.line) + ": " + fault.message : fault.message;
  if (fault.line) text += ": " + (fault.excerpt.empty() ? std::string("(empty line)") : fault.excerpt);
  return text;
}

bool read_rule_set(const std::string& text, const Codepage& codepage, RuleSet& out, Fault& fault) {
  Reader reader(codepage, out, fault);
  return reader.read(text);
}

bool write_rule_set(const RuleSet& given, const Codepage& codepage, std::string& text, Fault& fault) {
  // Rules in the order of the entries they name, not of their keys, which the
  // store hands out afresh at every load: the same set always makes the same text.
  RuleSet set = given;
  std::stable_sort(set.rules.begin(), set.rules.end(), [](const Rule& a, const Rule& b) {
    return std::tie(a.protocol, a.address, a.app, a.direction) < std::tie(b.protocol, b.address, b.app, b.direction);
  });
  Writer writer(codepage, fault);
  if (!writer.write(set, text)) return false;
  // What is written must read back as the same set: anything the reader refuses
  // (a missing default rule, a duplicate, an empty name) is refused here, so an
  // export never makes a file that its own import would turn down.
  RuleSet again;
  Fault back;
  if (!read_rule_set(text, codepage, again, back)) {
    fault.line = 0;
    fault.message = "the rule set cannot be written as a file that reads back: " + describe(back);
    fault.excerpt.clear();
    return false;
  }
  if (!same_rule_sets(set, again)) {
    fault.line = 0;
    fault.message = "the rule set cannot be written as a file that reads back the same";
    fault.excerpt.clear();
    return false;
  }
  return true;
}

std::string identity(const Protocol& p) {
  if (p.any) return "<AnyProtocol>";
  return std::to_string(p.transport) + ";" + std::to_string((int32_t)p.port);
}

std::string identity(const Address& a) {
  if (a.any) return "<AnyAddress>";
  return std::to_string(a.type) + ";" + std::to_string((int32_t)a.low) + ";" + std::to_string((int32_t)a.high);
}

std::string identity(const App& a) { return a.any ? std::string("<AnyApplication>") : a.name; }

std::string dotted(uint32_t address) {
  return std::to_string(address & 0xFF) + "." + std::to_string((address >> 8) & 0xFF) + "." +
         std::to_string((address >> 16) & 0xFF) + "." + std::to_string(address >> 24);
}

int compare_addresses(uint32_t a, uint32_t b) {
  auto swapped = [](uint32_t v) { return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24); };
  uint32_t x = swapped(a), y = swapped(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

}  // namespace rulesfile
