#include "lists.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kindler {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Real lists are a few kilobytes; anything this large is not one, and reading it whole
// would only cost memory.
constexpr long kLargestFile = 16L * 1024 * 1024;

std::string Cut(std::string text, std::size_t limit) {
  if (text.size() > limit) text.resize(limit);
  return text;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Bytes of the character that starts at `at`; a broken sequence counts its bytes one by
// one, so it is never longer than what is there.
std::size_t CharacterLength(std::string_view text, std::size_t at, const CodePage& page) {
  const auto byte = static_cast<unsigned char>(text[at]);
  std::size_t length = 1;
  if (page.utf8) {
    if (byte >= 0xF0 && byte <= 0xF4)
      length = 4;
    else if (byte >= 0xE0)
      length = byte <= 0xEF ? 3 : 1;
    else if (byte >= 0xC2)
      length = 2;
    for (std::size_t i = 1; i < length; ++i) {
      if (at + i >= text.size() || (static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 1;
    }
    return length;
  }
  if (page.lead[byte] && at + 1 < text.size()) length = 2;
  return length;
}

bool HoldsNul(const std::string& text) { return text.find('\0') != std::string::npos; }

}  // namespace

std::string CutToCharacters(std::string_view text, std::size_t limit, const CodePage& page) {
  if (text.size() <= limit) return std::string(text);
  std::size_t end = 0;
  while (end < text.size()) {
    std::size_t next = end + CharacterLength(text, end, page);
    if (next > limit) break;
    end = next;
  }
  return std::string(text.substr(0, end));
}

std::string Trim(std::string_view text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

FieldReader::FieldReader(std::string_view data) : data_(data) {
  if (data_.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
    data_.remove_prefix(kUtf8Mark.size());
    markedUtf8_ = true;
  }
  // Trailing blanks and line ends are no data: a field never ends in blanks, and a
  // line end with nothing after it opens no field.
  std::size_t end = data_.size();
  while (end > 0 && (IsBlank(data_[end - 1]) || IsLineEnd(data_[end - 1]))) --end;
  data_ = data_.substr(0, end);
}

bool FieldReader::AtEnd() {
  // Only between records: blank lines there carry no field.
  while (at_ < data_.size() && (IsBlank(data_[at_]) || IsLineEnd(data_[at_]))) ++at_;
  return at_ >= data_.size();
}

bool FieldReader::ReadRecord(int count, std::vector<std::string>& fields, Failure& failure) {
  fields.assign(count, std::string());
  for (int i = 0; i < count; ++i) {
    // A comma promises one more field, even an empty one at the very end; a line end
    // or the end of the data does not.
    if (at_ >= data_.size() && (i == 0 || !lastEndedByComma_)) {
      failure = {kEndInRecord, "The file ends in the middle of a record."};
      return false;
    }
    if (!ReadField(fields[i], failure)) return false;
  }
  return true;
}

bool FieldReader::ReadField(std::string& field, Failure& failure) {
  while (at_ < data_.size() && IsBlank(data_[at_])) ++at_;
  std::size_t end;
  if (at_ < data_.size() && data_[at_] == '"') {
    std::size_t close = data_.find('"', at_ + 1);
    if (close == std::string_view::npos) {
      failure = {kOpenQuote, "A quoted field has no closing quote."};
      return false;
    }
    field.assign(data_.substr(at_ + 1, close - at_ - 1));
    // Whatever follows the closing quote up to the separator is not part of the field.
    end = close + 1;
    while (end < data_.size() && data_[end] != ',' && !IsLineEnd(data_[end])) ++end;
  } else {
    end = at_;
    while (end < data_.size() && data_[end] != ',' && !IsLineEnd(data_[end])) ++end;
    std::size_t last = end;
    while (last > at_ && IsBlank(data_[last - 1])) --last;
    field.assign(data_.substr(at_, last - at_));
  }
  lastEndedByComma_ = false;
  if (end < data_.size()) {
    if (data_[end] == ',') {
      lastEndedByComma_ = true;
      ++end;
    } else if (data_[end] == '\r') {
      ++end;
      if (end < data_.size() && data_[end] == '\n') ++end;
    } else {
      ++end;
    }
  }
  at_ = end;
  return true;
}

bool ReadFileFromDisk(const std::string& name, std::string& content, Failure& failure) {
  errno = 0;
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (!file) {
    int code = errno ? errno : ENOENT;
    failure = {code, std::strerror(code)};
    return false;
  }
  content.clear();
  char buffer[8192];
  std::size_t got;
  bool ok = true;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (content.size() + got > static_cast<std::size_t>(kLargestFile)) {
      failure = {kFileTooLarge, "The file is too large to be a list.", true};
      ok = false;
      break;
    }
    content.append(buffer, got);
  }
  if (ok && std::ferror(file)) {
    int code = errno ? errno : EIO;
    failure = {code, std::strerror(code), true};
    ok = false;
  }
  std::fclose(file);
  return ok;
}

bool ParsePort(std::string_view field, int32_t& port) {
  std::size_t at = 0;
  bool negative = false;
  if (at < field.size() && (field[at] == '+' || field[at] == '-')) negative = field[at++] == '-';
  // Whole part, without leading zeros; more than five digits cannot round into range.
  long whole = 0;
  int significant = 0;
  bool anyDigit = false;
  for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at) {
    anyDigit = true;
    if (significant == 0 && field[at] == '0') continue;
    if (++significant > 6) return false;
    whole = whole * 10 + (field[at] - '0');
  }
  int firstDecimal = 0;
  bool restNonZero = false;
  if (at < field.size() && field[at] == '.') {
    ++at;
    bool first = true;
    for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at) {
      anyDigit = true;
      if (first)
        firstDecimal = field[at] - '0';
      else if (field[at] != '0')
        restNonZero = true;
      first = false;
    }
  }
  if (!anyDigit) {
    port = 0;
    return true;
  }
  // Halves go to the even neighbour; the sign does not change the magnitude's rounding.
  if (firstDecimal > 5 || (firstDecimal == 5 && (restNonZero || whole % 2 == 1))) ++whole;
  long value = negative ? -whole : whole;
  if (value < -32768 || value > 32767) return false;
  port = static_cast<int32_t>(value);
  return true;
}

std::string ProviderListFailureMessage(const Failure& failure, int step) {
  return "Could not load the provider list - wizard cannot continue.  Error code = " + std::to_string(failure.code) +
         "," + std::to_string(step) + ".  Error text = " + failure.text;
}

WizardLists::WizardLists(FileSource source, Reporter reporter)
    : source_(std::move(source)), reporter_(std::move(reporter)) {
  providers_.reserve(kMaxProviders);
  groups_.reserve(kMaxGroups);
}

bool WizardLists::LoadProviderList(Failure& failure, int& step) {
  providers_.clear();
  std::string content;
  if (!source_("PROVIDER.LST", content, failure)) {
    step = failure.whileReading ? 2 : 1;
    return false;
  }
  FieldReader reader(content);
  std::vector<std::string> fields;
  while (ProviderCount() < kMaxProviders && !reader.AtEnd()) {
    if (!reader.ReadRecord(3, fields, failure)) {
      step = 2;
      return false;
    }
    // A NUL would end the name where the system reads it: such a record names no file.
    bool usable = true;
    for (const std::string& field : fields) usable = usable && !field.empty() && !HoldsNul(field);
    if (!usable) continue;
    providers_.push_back({fields[0], fields[1], fields[2]});
  }
  return true;
}

int16_t WizardLists::LoadApplicationList(const std::string& listFile, const std::string& providerName) {
  const std::string where = providerName + " (" + listFile + ").";
  tally_ = ListTally{};
  auto fail = [&](const Failure& failure) -> int16_t {
    Report("Could not process application list for " + where);
    int code = failure.code;
    if (code == 0 || code < -32768 || code > 32767 || code == -1) code = kEndInRecord;
    return static_cast<int16_t>(code);
  };

  std::string content;
  Failure failure;
  if (!source_(listFile, content, failure)) return fail(failure);
  FieldReader reader(content);
  // A file that says it is UTF-8 is cut as UTF-8, whatever the system's code page.
  const CodePage page = reader.MarkedUtf8() ? CodePage::Utf8() : codePage_;
  std::vector<std::string> f;
  std::vector<std::string> groupsCut;
  while (!reader.AtEnd()) {
    if (!reader.ReadRecord(8, f, failure)) return fail(failure);
    ++tally_.records;
    for (int i = 4; i < 8; ++i) f[i] = Trim(f[i]);
    std::string description = CutToCharacters(Trim(f[1]), kDescriptionLimit, page);
    std::string application = CutToCharacters(Trim(f[2]), kApplicationNameLimit, page);
    std::string protocol = CutToCharacters(Trim(f[3]), kProtocolNameLimit, page);
    // A field of blanks in quotes is not empty as read but would become an entry
    // without a name in the rule store, so it counts as empty too.
    bool fieldsPresent =
        !f[0].empty() && !description.empty() && !application.empty() && !protocol.empty() && !f[4].empty();
    bool known =
        (f[5] == "TCP" || f[5] == "UDP") && (f[6] == "IN" || f[6] == "OUT") && (f[7] == "ALL" || f[7] == "LOCAL");
    // The store takes its names up to the first NUL: a field holding one would be
    // stored as something else, or refused at every Finish.
    bool clean = true;
    for (const std::string& field : f) clean = clean && !HoldsNul(field);
    int32_t port = 0;
    if (fieldsPresent && known && clean && !ParsePort(f[4], port)) {
      return fail({kPortOutOfRange, "The port \"" + Cut(f[4], 40) + "\" lies outside -32768 to 32767."});
    }
    if (!fieldsPresent || !known || !clean || port < 0) {
      ++tally_.invalid;
      continue;
    }
    const bool groupKnown = GroupIndex(f[0]) >= 0;
    if (AddWizardRule(f[0], description, application, protocol, port, f[5] == "TCP" ? 0 : 1, f[6] == "IN" ? 0 : 1,
                      f[7] == "LOCAL" ? 1 : 0)) {
      ++tally_.added;
    } else if (RuleCount() >= kMaxRules) {
      ++tally_.cutForRules;
    } else {
      ++tally_.cutForGroups;
      if (!groupKnown && std::find(groupsCut.begin(), groupsCut.end(), f[0]) == groupsCut.end())
        groupsCut.push_back(f[0]);
    }
  }
  tally_.groupsCut = static_cast<int>(groupsCut.size());
  if (tally_.cutForGroups > 0 || tally_.cutForRules > 0) Report(LimitMessage(listFile, providerName));
  if (tally_.invalid > 0) {
    Report("Errors found processing application list for " + where);
    return -1;
  }
  return 0;
}

std::string WizardLists::LimitMessage(const std::string& listFile, const std::string& providerName) const {
  auto entries = [](int n) { return std::to_string(n) + (n == 1 ? " entry" : " entries"); };
  std::string lost;
  if (tally_.cutForGroups > 0) {
    lost = entries(tally_.cutForGroups) + " in " + std::to_string(tally_.groupsCut) +
           (tally_.groupsCut == 1 ? " group" : " groups") + " beyond the " + std::to_string(kMaxGroups) + " groups";
  }
  if (tally_.cutForRules > 0) {
    if (!lost.empty()) lost += " and ";
    lost += entries(tally_.cutForRules) + " beyond the " + std::to_string(kMaxRules) + " rules";
  }
  return "The wizard's tables are full: " + lost + " it can hold were left out of the application list for " +
         providerName + " (" + listFile + ").  Choose fewer providers to keep them.";
}

bool WizardLists::AddWizardRule(const std::string& groupName, const std::string& description,
                                const std::string& applicationName, const std::string& protocolName, int32_t port,
                                int32_t transport, int32_t direction, int32_t localOnly) {
  // The rule table is checked first: a group whose rule cannot be kept would only take
  // a place among the 50.
  if (RuleCount() >= kMaxRules) return false;
  int group = FindOrAddGroup(groupName);
  if (group < 0) return false;
  WizardRule rule;
  rule.group = static_cast<int16_t>(group);
  rule.description = CutToCharacters(description, kDescriptionLimit, codePage_);
  rule.applicationName = CutToCharacters(applicationName, kApplicationNameLimit, codePage_);
  rule.protocolName = CutToCharacters(protocolName, kProtocolNameLimit, codePage_);
  rule.port = port;
  rule.transport = transport;
  rule.direction = direction;
  rule.localOnly = localOnly;
  rules_.push_back(std::move(rule));
  return true;
}

int WizardLists::GroupIndex(const std::string& name) const {
  for (int i = 0; i < GroupCount(); ++i)
    if (groups_[i].name == name) return i;
  return -1;
}

int WizardLists::FindOrAddGroup(const std::string& name) {
  int found = GroupIndex(name);
  if (found >= 0) return found;
  if (GroupCount() >= kMaxGroups) return -1;
  auto remembered = rememberedAccess_.find(name);
  groups_.push_back({name, remembered == rememberedAccess_.end() ? kAsk : remembered->second});
  return GroupCount() - 1;
}

void WizardLists::EmptyRuleTable() {
  rules_.clear();
  for (const ServiceGroup& group : groups_) rememberedAccess_[group.name] = group.access;
  groups_.clear();
}

void WizardLists::RemoveEmptyGroups() {
  int i = 0;
  while (i < GroupCount()) {
    bool used = false;
    for (const WizardRule& rule : rules_)
      if (rule.group == i) {
        used = true;
        break;
      }
    if (used) {
      ++i;
      continue;
    }
    groups_.erase(groups_.begin() + i);
    for (WizardRule& rule : rules_)
      if (rule.group > i) --rule.group;
  }
  // The choice is complete: a group that comes back later is a new one again.
  rememberedAccess_.clear();
}

}  // namespace kindler
