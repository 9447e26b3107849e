// Kindler's data: the provider list, the application lists, and the provider, group and
// rule tables they fill.
//
// Plain C++ with no window and no Windows header: the same code runs in the wizard, in
// the tests, and natively as a fuzz target. Files come through a FileSource and messages
// for the user go out through a Reporter, so neither needs the platform.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kindler {

// Action codes of the rule store, as a group's access.
constexpr int32_t kAllow = 0;
constexpr int32_t kDeny = 1;
constexpr int32_t kAsk = 2;

constexpr int kMaxProviders = 50;
constexpr int kMaxGroups = 50;
constexpr int kMaxRules = 1000;
constexpr std::size_t kDescriptionLimit = 40;
constexpr std::size_t kApplicationNameLimit = 29;
constexpr std::size_t kProtocolNameLimit = 19;

// The title of every message but the two of the provider page and the exit question.
constexpr const char kSetupTitle[] = "Tarnwall Setup Wizard";

// Why reading stopped. Codes below 100 are the C library's errno values (opening a file);
// the others are the wizard's own.
struct Failure {
  int code = 0;
  std::string text;
  // The file was opened but could not be read whole (a read error, or too large):
  // for PROVIDER.LST that is step 2, as a failure while reading a record is.
  bool whileReading = false;
};
enum FailureCode : int {
  kEndInRecord = 101,     // the file ends inside a record
  kOpenQuote = 102,       // a quoted field has no closing quote
  kPortOutOfRange = 103,  // a port value outside -32768..32767
  kFileTooLarge = 104,    // larger than any list the wizard would be given
  kIconUnreadable = 105,  // a provider's icon file cannot be used
  kWindowFailed = 106,    // the wizard window could not be made
};

// How the bytes of a list file make characters, so that a field is never cut in the
// middle of one. The lists are 8-bit text in the system's ANSI code page: one byte a
// character, or one or two where the code page has lead bytes, or UTF-8 (a file that
// begins with the UTF-8 byte-order mark, or a system whose ANSI code page is UTF-8).
struct CodePage {
  bool utf8 = false;
  std::array<bool, 256> lead{};  // bytes that begin a two-byte character
  static CodePage SingleByte() { return {}; }
  static CodePage Utf8() {
    CodePage page;
    page.utf8 = true;
    return page;
  }
};

// The longest start of `text` of at most `limit` bytes that ends on a character boundary.
std::string CutToCharacters(std::string_view text, std::size_t limit, const CodePage& page);

// The fields of a list file: separated by commas or line ends, blanks before a field
// skipped, a field in double quotes running to the next quote. A leading UTF-8
// byte-order mark is no part of the data. Line ends followed only by blanks up to the end
// of the file end the data, also inside a record: a record cut short stays cut short
// whatever empty lines follow it. Lines holding only blanks between records are skipped.
class FieldReader {
 public:
  explicit FieldReader(std::string_view data);
  // True when nothing but blanks and line ends remains.
  bool AtEnd();
  // The data began with a UTF-8 byte-order mark.
  bool MarkedUtf8() const { return markedUtf8_; }
  // Reads `count` fields; false with `failure` set when the data ends inside the record.
  bool ReadRecord(int count, std::vector<std::string>& fields, Failure& failure);

 private:
  bool ReadField(std::string& field, Failure& failure);
  std::string_view data_;
  std::size_t at_ = 0;
  bool lastEndedByComma_ = false;
  bool markedUtf8_ = false;
};

struct ProviderEntry {
  std::string listFile;
  std::string iconFile;
  std::string name;
};

struct ServiceGroup {
  std::string name;
  int32_t access = kAsk;
};

struct WizardRule {
  int16_t group = 0;
  std::string description;      // at most 40 characters
  std::string applicationName;  // at most 29
  std::string protocolName;     // at most 19
  int32_t port = 0;
  int32_t transport = 0;  // 0 TCP, 1 UDP
  int32_t direction = 0;  // 0 inbound, 1 outbound
  int32_t localOnly = 0;
};

// Reads a whole file; false with `failure` set when it cannot.
using FileSource = std::function<bool(const std::string& name, std::string& content, Failure& failure)>;
// Shows one message to the user (exclamation icon, OK, kSetupTitle).
using Reporter = std::function<void(const std::string& message)>;

// Reads a file from the current directory with the C library.
bool ReadFileFromDisk(const std::string& name, std::string& content, Failure& failure);

// The value of a port field: the number at its start (sign, digits, fraction), 0 when
// there is none, rounded half to even. False when it lies outside -32768..32767.
bool ParsePort(std::string_view field, int32_t& port);

// Blanks (spaces and tabs) removed at both ends.
std::string Trim(std::string_view text);

// "Could not load the provider list ..." with code, step (1 opening or testing for the
// end, 2 reading or anything later) and text.
std::string ProviderListFailureMessage(const Failure& failure, int step);

// What the last LoadApplicationList did with the records it read.
struct ListTally {
  int records = 0;       // records read whole
  int invalid = 0;       // skipped as invalid
  int added = 0;         // now in the rule table
  int cutForGroups = 0;  // left out: their group would be beyond the 50th
  int groupsCut = 0;     // how many distinct groups that was
  int cutForRules = 0;   // left out: the rule table was full
};

class WizardLists {
 public:
  explicit WizardLists(FileSource source = ReadFileFromDisk, Reporter reporter = {});

  // The code page the lists are written in (the system's ANSI code page); single-byte
  // until set.
  void SetCodePage(const CodePage& page) { codePage_ = page; }

  // Fills the provider table from PROVIDER.LST. On failure returns false and sets
  // `step` (1 or 2) and `failure`; the caller ends the program with the message.
  bool LoadProviderList(Failure& failure, int& step);

  // 0: read without fault; -1: read, but some records were invalid; otherwise the code
  // of the failure that stopped the reading. The user has been told of any failure.
  int16_t LoadApplicationList(const std::string& listFile, const std::string& providerName);

  // False when a limit of the tables left the record out.
  bool AddWizardRule(const std::string& groupName, const std::string& description, const std::string& applicationName,
                     const std::string& protocolName, int32_t port, int32_t transport, int32_t direction,
                     int32_t localOnly);
  // The group's index, or -1 when it is new and the table is full. A new group takes
  // the access it had before the rule table was last emptied, or Ask.
  int FindOrAddGroup(const std::string& name);
  // Drops the groups no rule uses; what was remembered of earlier groups is forgotten.
  void RemoveEmptyGroups();
  // Before the chosen lists are loaded again: the rules go, and so do the groups, which
  // no rule uses now; each group's access is remembered by name for the reload, so the
  // groups of an earlier choice do not take places in the 50-group table.
  void EmptyRuleTable();
  const ListTally& LastTally() const { return tally_; }

  const std::vector<ProviderEntry>& Providers() const { return providers_; }
  const std::vector<ServiceGroup>& Groups() const { return groups_; }
  const std::vector<WizardRule>& Rules() const { return rules_; }
  int ProviderCount() const { return static_cast<int>(providers_.size()); }
  int GroupCount() const { return static_cast<int>(groups_.size()); }
  int RuleCount() const { return static_cast<int>(rules_.size()); }
  void SetAccess(int group, int32_t access) {
    if (group >= 0 && group < GroupCount()) groups_[group].access = access;
  }

 private:
  int GroupIndex(const std::string& name) const;
  std::string LimitMessage(const std::string& listFile, const std::string& providerName) const;
  void Report(const std::string& message) const {
    if (reporter_) reporter_(message);
  }

  FileSource source_;
  Reporter reporter_;
  CodePage codePage_;
  ListTally tally_;
  std::map<std::string, int32_t> rememberedAccess_;
  std::vector<ProviderEntry> providers_;
  std::vector<ServiceGroup> groups_;
  std::vector<WizardRule> rules_;
};

}  // namespace kindler
