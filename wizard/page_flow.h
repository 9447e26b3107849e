// Kindler's decisions, with no window: where Next and Back lead, whether the provider
// page may be left, what each page shows and whether closing asks first. frmWizard reads
// its controls into these plain values and mirrors the answers back into the controls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lists.h"

namespace kindler {

// The title of the two provider-page messages and of the exit question.
constexpr const char kConfigurationTitle[] = "Tarnwall Configuration Wizard";

constexpr int kRowsPerPage = 5;
// The tag of the provider list's last item, "Other"; the other items carry their
// provider's index in the provider table.
constexpr int kOtherTag = -1;

// Where the wizard stands: the page shown (1 to 6), which five groups page 4 shows, how
// many such pages the chosen providers' groups fill, and whether "Other" alone was chosen.
struct PageState {
  int16_t page = 1;
  int16_t groupPage = 0;
  int16_t groupPageCount = 0;
  bool otherOnly = false;

  bool operator==(const PageState&) const = default;
};

// Next from `from`: the page it leads to, or Finish on page 6 (the page stays). On page 2
// the state must be the one AcceptProviders left.
struct NextStep {
  PageState to;
  bool finish = false;
};
NextStep NextFrom(const PageState& from);
// Back from `from`; on page 1 nothing changes.
PageState BackFrom(const PageState& from);

// How the buttons stand on a page reached by Next or by Back.
struct ButtonLook {
  bool backEnabled = true;
  const char* nextCaption = "&Next >";
  bool focusOnNext = true;  // else the focus goes to Back
};
ButtonLook ButtonsAfterNext(int page);
ButtonLook ButtonsAfterBack(int page);

// Next on the provider page, with the tags of the selected items in list order. Refused
// with the message to show for nothing chosen or "Other" beside a provider; otherwise the
// rule table is emptied and the chosen providers' lists loaded again (a failing list has
// told the user through the lists' reporter, and the page stays). Accepted, `state` says
// whether "Other" was alone and how many group-row pages there are.
struct Acceptance {
  bool accepted = false;
  const char* refusal = nullptr;  // for a message box titled kConfigurationTitle
};
Acceptance AcceptProviders(const std::vector<int>& chosenTags, WizardLists& lists, PageState& state);

// The page-3 sentence's names: "A", "A and B", "A, B and C"; beyond 21 names, the first
// three and how many others.
std::string JoinProviderNames(const std::vector<std::string>& names);
// Page 3's sentence: `pageTemplate` with its "%1" replaced by the chosen providers' names,
// each whole from the provider table; "Other" and unknown tags name nobody.
std::string PageThreeText(const std::string& pageTemplate, const std::vector<int>& chosenTags,
                          const WizardLists& lists);

// Group row `row` (1 to 5) of page 4: the group it stands for, whether it shows, its name
// and which of its options (0 Deny, 1 Ask, 2 Allow) is set.
struct GroupRowLook {
  int group = 0;
  bool shown = false;
  std::string name;
  int option = 1;
};
GroupRowLook RowLook(const PageState& state, int row, const WizardLists& lists);
int GroupOfRow(const PageState& state, int row);
// Option index to access code (Deny 1, Ask 2, Allow 0) and back; a code that is none of
// Deny and Ask shows as Allow, an index out of range means Ask.
int32_t CodeOfOption(int index);
int OptionOfCode(int32_t code);

// Page 6's note that the chosen providers' lists named no service (page 4 was left out).
bool ShowsNoServicesNote(const PageState& state, int groupCount);

// Who asks the window to close.
enum class CloseOrigin {
  kUser,     // the close box or the system menu
  kProgram,  // Cancel, or Finish once saved
  kOther,    // the system shutting down, the task list
};
// Whether the exit question comes first: for the user's close, and for the program's when
// Cancel asked for it.
bool AsksBeforeClosing(CloseOrigin origin, bool cancelRequested);

// After a successful Finish: the Edictor path to start (trimmed, its NUL taken off), or ""
// when there is none or the box was cleared.
std::string EdictorToStart(const std::string& edictorPath, bool boxTicked);

}  // namespace kindler
