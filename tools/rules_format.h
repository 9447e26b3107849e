// rules_format.h - the rule-set file of rules.exe: what it holds, how it is read
// and checked, and how it is written. Plain C++ with no system calls, so the
// reader can be fuzzed natively.
//
// The file is UTF-8 text, one entry per line (the README describes it in full):
//
//   tarnwall-rules 1
//   # comment
//   logfile "C:\Tarnwall\connections.log"
//   protocol p0 any "Any Protocol"
//   protocol p1 tcp 80 "HTTP"
//   address a0 any "Any Address"
//   address a1 single 127.0.0.1 "Local Host"
//   address a2 range 192.168.0.1 192.168.0.255 "Home network"
//   application x0 any "*" "Any Application"
//   application x1 "IEXPLORE.EXE" "Web Browser"
//   rule in deny log p0 a0 x0
//   rule out allow nolog p1 a0 x1
//
// Entries are named by labels that belong to the file alone; a rule names its
// protocol, address and application by their labels, which must be defined on
// an earlier line. Importing gives the entries keys of the store's own, and the
// rules refer to those.
#ifndef TARNWALL_RULES_FORMAT_H
#define TARNWALL_RULES_FORMAT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace rulesfile {

constexpr const char* kHeaderWord = "tarnwall-rules";
constexpr int kVersion = 1;
// No line that means anything comes near this; longer ones are refused whole.
constexpr size_t kLongestLine = 4096;

// Limits of the store's fields, in bytes of the 8-bit code page (NUL excluded),
// and the slots of its lists: a set with more entries can never be held.
constexpr size_t kProtocolNameMax = 19;
constexpr size_t kAddressNameMax = 31;
constexpr size_t kAppNameMax = 29;
constexpr size_t kDescriptionMax = 41;
constexpr size_t kLogFileMax = 259;
constexpr size_t kLabelMax = 32;
constexpr size_t kProtocolsMax = 861;
constexpr size_t kAddressesMax = 584;
constexpr size_t kAppsMax = 545;
constexpr size_t kRulesMax = 1364;

// The store keeps names as bytes of the machine's 8-bit (ANSI) code page; the
// file keeps them as UTF-8. A character is written as its Unicode form and read
// back to the same byte; one that has no place on the other side is refused.
class Codepage {
 public:
  virtual ~Codepage() = default;
  // Valid UTF-8 to code-page bytes; false when some character has no byte.
  virtual bool to_ansi(const std::string& utf8, std::string& ansi) const = 0;
  // Code-page bytes to UTF-8; false when some byte stands for no character or
  // would not read back to the same byte.
  virtual bool to_utf8(const std::string& ansi, std::string& utf8) const = 0;
  // How messages name it ("code page 1252").
  virtual std::string name() const = 0;
};

// ISO 8859-1: byte n is U+00n. Used where no system is at hand (the fuzz target, tests).
class Latin1 : public Codepage {
 public:
  bool to_ansi(const std::string& utf8, std::string& ansi) const override;
  bool to_utf8(const std::string& ansi, std::string& utf8) const override;
  std::string name() const override { return "ISO 8859-1"; }
};

enum Transport { kTcp = 0, kUdp = 1 };
enum AddressType { kSingle = 0, kRange = 1 };
enum Direction { kInbound = 0, kOutbound = 1 };
enum Action { kAllow = 0, kDeny = 1, kAsk = 2 };

// Texts below are code-page bytes, as the store holds them. `key` is the
// store's key (unused for entries read from a file); `line` the file's line.
struct Protocol {
  std::string label;
  bool any = false;
  std::string name;
  int transport = kTcp;
  uint32_t port = 0;
  uint32_t key = 0;
  int line = 0;
};

struct Address {
  std::string label;
  bool any = false;
  std::string name;
  int type = kSingle;
  uint32_t low = 0, high = 0;  // network byte order: the first octet is the lowest byte
  uint32_t key = 0;
  int line = 0;
};

struct App {
  std::string label;
  bool any = false;
  std::string name;
  std::string description;
  uint32_t key = 0;
  int line = 0;
};

struct Rule {
  int direction = kInbound;
  int action = kAllow;
  bool log = false;
  // Positions in the rule set's lists of protocols, addresses and applications.
  size_t protocol = 0, address = 0, app = 0;
  uint32_t key = 0;
  int line = 0;
};

struct RuleSet {
  std::vector<Protocol> protocols;
  std::vector<Address> addresses;
  std::vector<App> apps;
  std::vector<Rule> rules;
  bool has_log_file = false;
  std::string log_file;
};

// What is wrong and where: line 0 when it is about the store's set being written,
// or about the file as a whole with no line to blame (an empty file).
struct Fault {
  int line = 0;
  std::string message;
  std::string excerpt;  // the line, shortened for a message
};
// "line 12: <message>: <excerpt>".
std::string describe(const Fault& fault);

// Reads and checks a whole file. Every line, every field's limit, every label
// and reference, duplicates, the one wildcard entry of each list and the two
// default rules (inbound and outbound, each for any protocol, address and
// application). False with the first fault, in line order.
bool read_rule_set(const std::string& text, const Codepage& codepage, RuleSet& out, Fault& fault);

// The file for a rule set, labels given by position (p0, a0, x0 ...), rules in
// the order of the entries they name, whatever their keys. False with
// a fault when some entry cannot be written so that it reads back the same; the
// written text is always one that read_rule_set accepts.
bool write_rule_set(const RuleSet& set, const Codepage& codepage, std::string& text, Fault& fault);

// The key texts that tell entries apart in the store: two entries of one list
// never share one.
std::string identity(const Protocol& p);
std::string identity(const Address& a);
std::string identity(const App& a);

// Dotted form of an address in network byte order.
std::string dotted(uint32_t address);
// Address order as their dotted forms read: <0, 0 or >0.
int compare_addresses(uint32_t a, uint32_t b);

}  // namespace rulesfile

#endif  // TARNWALL_RULES_FORMAT_H
