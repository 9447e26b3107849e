#include "page_flow.h"

#include "save.h"

namespace kindler {

namespace {

const char kNoProvider[] =
    "Please select at least one Internet Service Provider.  If your provider is not listed, select 'Other'.";
const char kOtherWithProvider[] =
    "'Other' may only be selected on its own.  Please select at least one Internet Service Provider.  If your "
    "provider is not listed, select 'Other'.";

constexpr int32_t kCodeOfOption[3] = {kDeny, kAsk, kAllow};

}  // namespace

NextStep NextFrom(const PageState& from) {
  NextStep step{from, false};
  PageState& to = step.to;
  switch (from.page) {
    case 2:
      to.page = from.otherOnly ? 5 : 3;
      break;
    case 3:
      to.groupPage = 0;
      // With no group there is nothing to choose: page 4 is left out.
      to.page = from.groupPageCount > 0 ? 4 : 6;
      break;
    case 4:
      ++to.groupPage;
      if (to.groupPage >= from.groupPageCount) to.page = 6;
      break;
    case 6:
      step.finish = true;
      break;
    default:
      to.page = static_cast<int16_t>(from.page + 1);
      break;
  }
  return step;
}

PageState BackFrom(const PageState& from) {
  PageState to = from;
  switch (from.page) {
    case 1:
      break;
    case 6:
      if (from.otherOnly) {
        to.page = 5;
      } else if (from.groupPageCount > 0) {
        to.page = 4;
        to.groupPage = static_cast<int16_t>(from.groupPageCount - 1);
      } else {
        to.page = 3;  // page 4 was left out for want of groups
      }
      break;
    case 4:
      --to.groupPage;
      if (to.groupPage < 0) {
        to.groupPage = 0;
        to.page = 3;
      }
      break;
    case 5:
      to.page = 2;
      break;
    default:
      --to.page;
      break;
  }
  return to;
}

ButtonLook ButtonsAfterNext(int page) {
  ButtonLook look;
  if (page == 6) look.nextCaption = "&Finish";
  return look;
}

ButtonLook ButtonsAfterBack(int page) {
  ButtonLook look = ButtonsAfterNext(page);
  look.backEnabled = page != 1;
  look.focusOnNext = page == 1;
  return look;
}

Acceptance AcceptProviders(const std::vector<int>& chosenTags, WizardLists& lists, PageState& state) {
  bool other = false, any = false;
  for (int tag : chosenTags) {
    if (tag == kOtherTag)
      other = true;
    else
      any = true;
  }
  if (!any && !other) return {false, kNoProvider};
  if (any && other) return {false, kOtherWithProvider};
  state.otherOnly = other;
  lists.EmptyRuleTable();
  if (other) return {true, nullptr};
  bool failed = false;
  // Every chosen list is read, so that each failing one is told, before the page stays.
  for (int v : chosenTags) {
    if (v < 0 || v >= lists.ProviderCount()) continue;
    const ProviderEntry& p = lists.Providers()[v];
    if (lists.LoadApplicationList(p.listFile, p.name) != 0) failed = true;
  }
  if (failed) return {false, nullptr};
  lists.RemoveEmptyGroups();
  state.groupPageCount = static_cast<int16_t>((lists.GroupCount() + kRowsPerPage - 1) / kRowsPerPage);
  return {true, nullptr};
}

std::string JoinProviderNames(const std::vector<std::string>& names) {
  // The sentence holds 21 names at most; past that it names three and counts the rest.
  constexpr std::size_t kMostNamed = 21;
  if (names.size() > kMostNamed) {
    return names[0] + ", " + names[1] + ", " + names[2] + " and " + std::to_string(names.size() - 3) +
           " other providers";
  }
  std::string joined;
  for (std::size_t i = 0; i < names.size(); ++i) {
    joined += names[i];
    std::size_t following = names.size() - 1 - i;
    if (following >= 2)
      joined += ", ";
    else if (following == 1)
      joined += " and ";
  }
  return joined;
}

std::string PageThreeText(const std::string& pageTemplate, const std::vector<int>& chosenTags,
                          const WizardLists& lists) {
  std::vector<std::string> names;
  for (int v : chosenTags)
    if (v >= 0 && v < lists.ProviderCount()) names.push_back(lists.Providers()[v].name);
  std::size_t at = pageTemplate.find("%1");
  if (at == std::string::npos) return pageTemplate;
  return pageTemplate.substr(0, at) + JoinProviderNames(names) + pageTemplate.substr(at + 2);
}

int GroupOfRow(const PageState& state, int row) { return state.groupPage * kRowsPerPage + (row - 1); }

GroupRowLook RowLook(const PageState& state, int row, const WizardLists& lists) {
  GroupRowLook look;
  look.group = GroupOfRow(state, row);
  if (look.group < 0 || look.group >= lists.GroupCount()) return look;
  const ServiceGroup& g = lists.Groups()[look.group];
  look.shown = true;
  look.name = g.name;
  look.option = OptionOfCode(g.access);
  return look;
}

int32_t CodeOfOption(int index) { return index >= 0 && index < 3 ? kCodeOfOption[index] : kAsk; }

int OptionOfCode(int32_t code) { return code == kDeny ? 0 : code == kAsk ? 1 : 2; }

bool ShowsNoServicesNote(const PageState& state, int groupCount) { return !state.otherOnly && groupCount == 0; }

bool AsksBeforeClosing(CloseOrigin origin, bool cancelRequested) {
  return origin == CloseOrigin::kUser || (origin == CloseOrigin::kProgram && cancelRequested);
}

std::string EdictorToStart(const std::string& edictorPath, bool boxTicked) {
  return boxTicked ? TrimEdictorPath(edictorPath) : std::string();
}

}  // namespace kindler
