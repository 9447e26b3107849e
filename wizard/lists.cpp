#include "lists.h"

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

}  // namespace

std::string Trim(std::string_view text) {
    std::size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return std::string(text.substr(first, last - first));
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
            failure = {kFileTooLarge, "The file is too large to be a list."};
            ok = false;
            break;
        }
        content.append(buffer, got);
    }
    if (ok && std::ferror(file)) {
        int code = errno ? errno : EIO;
        failure = {code, std::strerror(code)};
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
            if (first) firstDecimal = field[at] - '0';
            else if (field[at] != '0') restNonZero = true;
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
    return "Could not load the provider list - wizard cannot continue.  Error code = " +
           std::to_string(failure.code) + "," + std::to_string(step) + ".  Error text = " + failure.text;
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
        step = 1;
        return false;
    }
    FieldReader reader(content);
    std::vector<std::string> fields;
    while (ProviderCount() < kMaxProviders && !reader.AtEnd()) {
        if (!reader.ReadRecord(3, fields, failure)) {
            step = 2;
            return false;
        }
        if (fields[0].empty() || fields[1].empty() || fields[2].empty()) continue;
        providers_.push_back({fields[0], fields[1], fields[2]});
    }
    return true;
}

int16_t WizardLists::LoadApplicationList(const std::string& listFile, const std::string& providerName) {
    const std::string where = providerName + " (" + listFile + ").";
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
    std::vector<std::string> f;
    bool valid = true;
    while (!reader.AtEnd()) {
        if (!reader.ReadRecord(8, f, failure)) return fail(failure);
        for (int i = 4; i < 8; ++i) f[i] = Trim(f[i]);
        std::string description = Cut(Trim(f[1]), kDescriptionLimit);
        std::string application = Cut(Trim(f[2]), kApplicationNameLimit);
        std::string protocol = Cut(Trim(f[3]), kProtocolNameLimit);
        // A field of blanks in quotes is not empty as read but would become an entry
        // without a name in the rule store, so it counts as empty too.
        bool fieldsPresent = !f[0].empty() && !description.empty() && !application.empty() &&
                             !protocol.empty() && !f[4].empty();
        bool known = (f[5] == "TCP" || f[5] == "UDP") && (f[6] == "IN" || f[6] == "OUT") &&
                     (f[7] == "ALL" || f[7] == "LOCAL");
        if (!fieldsPresent || !known) {
            valid = false;
            continue;
        }
        int32_t port;
        if (!ParsePort(f[4], port)) {
            return fail({kPortOutOfRange, "The port \"" + Cut(f[4], 40) + "\" lies outside -32768 to 32767."});
        }
        AddWizardRule(f[0], description, application, protocol, port, f[5] == "TCP" ? 0 : 1,
                      f[6] == "IN" ? 0 : 1, f[7] == "LOCAL" ? 1 : 0);
    }
    if (!valid) {
        Report("Errors found processing application list for " + where);
        return -1;
    }
    return 0;
}

void WizardLists::AddWizardRule(const std::string& groupName, const std::string& description,
                                const std::string& applicationName, const std::string& protocolName,
                                int32_t port, int32_t transport, int32_t direction, int32_t localOnly) {
    int group = FindOrAddGroup(groupName);
    if (group < 0 || RuleCount() >= kMaxRules) return;
    WizardRule rule;
    rule.group = static_cast<int16_t>(group);
    rule.description = Cut(description, kDescriptionLimit);
    rule.applicationName = Cut(applicationName, kApplicationNameLimit);
    rule.protocolName = Cut(protocolName, kProtocolNameLimit);
    rule.port = port;
    rule.transport = transport;
    rule.direction = direction;
    rule.localOnly = localOnly;
    rules_.push_back(std::move(rule));
}

int WizardLists::FindOrAddGroup(const std::string& name) {
    for (int i = 0; i < GroupCount(); ++i)
        if (groups_[i].name == name) return i;
    if (GroupCount() >= kMaxGroups) return -1;
    groups_.push_back({name, kAsk});
    return GroupCount() - 1;
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
}

}  // namespace kindler
