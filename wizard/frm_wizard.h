// frmWizard: Kindler's one window. Six pages in a fixed area beside the side picture, and
// Help, Back, Next (Finish) and Cancel below a rule. Controls stand at positions given in
// 1/1440 inch, converted to pixels for the screen.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "lists.h"
#include "page_flow.h"
#include "save.h"
#include "window.h"

namespace kindler {

class FrmWizard : public winui::Window {
 public:
  // Starts Edictor by its command line; false when it could not be started.
  using ProgramStarter = std::function<bool(const std::string& commandLine)>;

  explicit FrmWizard(WizardLists& lists, std::string libraryName = "tessary");
  ~FrmWizard() override;

  // Form_Load: makes the window and its controls, fills the provider list and shows
  // page 1. False with `failure` set when the window or a provider's icon cannot be made.
  bool Create(Failure& failure);

  // Whether the program ends (PostQuitMessage) when the window closes. The quit is
  // posted once the handler that closed the window has returned, so a message that
  // handler still shows (after Finish) is not ended by it.
  void SetQuitOnClose(bool quit) { quitOnClose_ = quit; }
  void SetProgramStarter(ProgramStarter starter) { startProgram_ = std::move(starter); }

  const PageState& state() const { return state_; }
  int currentPage() const { return state_.page; }
  int groupPage() const { return state_.groupPage; }
  int groupPageCount() const { return state_.groupPageCount; }
  bool otherOnly() const { return state_.otherOnly; }
  bool cancelRequested() const { return cancelRequested_; }
  const std::string& edictorPath() const { return edictorPath_; }
  WizardLists& lists() { return lists_; }

  // The window event handlers, also reached through WM_COMMAND.
  void cmdNext_Click();
  void cmdBack_Click();
  void cmdCancel_Click();
  void cmdHelp_Click();

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  struct Twips {
    int left, top, width, height;
  };
  HWND MakeControl(HWND parent, const char* className, const char* text, DWORD style, int id, const Twips& at);
  HWND MakeIcon(int id, UINT iconId, int left, int top);
  bool MakeGroupRows();
  int Px(int twips, bool horizontal) const;

  void ShowPage(int page);
  void HidePage(int page);
  void PlaceControl(HWND control, int left, int top);
  void HideControl(HWND control) { ShowWindow(control, SW_HIDE); }
  void CenterWindow();
  void FillGroupRow(int row);

  // Form_QueryUnload: true when the window may close.
  bool Form_QueryUnload(CloseOrigin origin);
  void CloseForm(CloseOrigin origin);
  void ShowButtons(const ButtonLook& look);
  void Finish();
  void OptionClick(int row, int index);
  void OptionFocus(int row, bool focus);
  bool AcceptProviderPage();
  // The tags of the provider list's selected items, in list order.
  std::vector<int> SelectedTags() const;

  WizardLists& lists_;
  RuleStoreLink store_;
  ProgramStarter startProgram_;
  bool quitOnClose_ = false;
  bool quitPending_ = false;
  int handlerDepth_ = 0;

  PageState state_;
  bool cancelRequested_ = false;
  std::string pageThreeTemplate_;
  std::string edictorPath_;

  int dpiX_ = 96, dpiY_ = 96;
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  HIMAGELIST images_ = nullptr;
  std::vector<HICON> icons_;
  HWND rows_[6] = {};
};

// Start-up after the current directory is the program's folder: reads PROVIDER.LST and
// makes and shows the window. On failure tells the user (the stop message with its
// error code, step and text) and returns false; the program then ends.
bool StartWizard(FrmWizard& wizard, WizardLists& lists);

// The program's message loop, until the quit that closing the window posts.
int RunMessageLoop(FrmWizard& wizard);

// How the code page `codePage` (the ANSI code page, GetACP) makes characters of bytes.
CodePage CodePageOf(UINT codePage);

}  // namespace kindler
