#include "frm_wizard.h"

#include <commctrl.h>
#include <shellapi.h>

#include "help/tarnwall_help.h"
#include "kindler_ids.h"
#include "seams.h"

namespace kindler {

namespace {

constexpr int kClientWidth = 7215;
constexpr int kClientHeight = 4335;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

const char kPage1a[] =
    "The Tarnwall Setup Wizard will allow you to set your initial rules on how you connect to the Internet.  "
    "Select your current Internet Service Provider (ISP) and choose your default rules for email, web browsing, "
    "file transfer, etc.";
const char kPage1b[] =
    "As a safety backup, the Tarnwall Promptwise will always ask you about any Internet connection attempts "
    "falling outside your basic rule set.  With a quick click you can automatically update the rule set "
    "protecting your PC.";
const char kPage1c[] = "To start configuring your PC press the Next button.";
const char kPage2[] =
    "Select your Internet Service Provider from the list below and press the 'Next' button.  If your service "
    "provider is not listed, select 'Other'.";
const char kPage3a[] =
    "As a user of %1, Tarnwall gives you three choices on how to set your security rules for Intenet Usage.  "
    "For each service (email, web browsing, file transfer, etc.) select one of the following access rules:";
const char kPage3c[] = "--   Deny connection without asking (red)";
const char kPage3e[] = "--   Ask me whether to allow connection (yellow)";
const char kPage3g[] = "--   Allow connection without asking (green)";
const char kPage3h[] = "The rules you set now can be changed at any time in the future using the Edictor.";
const char kPage5a[] =
    "Tarnwall will establish a default rule set to protect your PC.  The first time you use an Internet "
    "connection you will be asked questions by the Tarnwall Promptwise on how you want to amend your rules to "
    "handle similar requests in the future (for email, web browsing, file transfer, etc.).";
const char kPage5b[] =
    "In this way, you will build a customized security firewall around your PC as you go about your normal "
    "activities.";
const char kPage6a[] =
    "Tarnwall has now established your initial rule set.  Click the Finish button below to save the rules.  "
    "Any of your rules can be simply amended by using the Tarnwall Edictor.";
const char kPage6b[] =
    "Click the box below to examine your rule set using the Edictor once the Tarnwall Setup Wizard ends.";
const char kPage6c[] = "Click Finish to save the rule set and exit.";
const char kPage6d[] = "No services were found for the providers you chose.";

const char kExitQuestion[] =
    "Click 'Yes' if you are sure you want to exit the Tarnwall Setup Wizard.  You may run the wizard at any time "
    "should you so desire.";
const char kNotSaved[] = "The rule set could not be saved.";
const char kNotStarted[] = "Could not start the Tarnwall Edictor.";

// Where ShowPage places each page's controls (left, top); page 4's rows come apart.
struct Place {
  int id, left, top;
};
const Place kPage1Places[] = {{IDC_LBLPAGE1A, 2280, 360}, {IDC_LBLPAGE1B, 2280, 1560}, {IDC_LBLPAGE1C, 2280, 2760}};
const Place kPage2Places[] = {{IDC_LBLPAGE2, 2280, 240}, {IDC_LVWPROVIDERS, 2280, 960}};
const Place kPage3Places[] = {{IDC_LBLPAGE3A, 2280, 360},  {IDC_IMGLIGHTS, 2280, 1440}, {IDC_LBLPAGE3C, 3030, 1440},
                              {IDC_LBLPAGE3E, 3030, 1740}, {IDC_LBLPAGE3G, 3030, 2040}, {IDC_LBLPAGE3H, 2280, 2580}};
const Place kPage4Places[] = {{IDC_LBLPAGE4B, 4410, 720}, {IDC_IMGRED, 4485, 180},    {IDC_LBLPAGE4C, 5250, 720},
                              {IDC_IMGYELLOW, 5325, 180}, {IDC_LBLPAGE4D, 6080, 720}, {IDC_IMGGREEN, 6155, 180}};
const Place kPage5Places[] = {{IDC_LBLPAGE5A, 2280, 780}, {IDC_LBLPAGE5B, 2280, 2160}};
const Place kPage6Places[] = {{IDC_LBLPAGE6A, 2280, 360},
                              {IDC_LBLPAGE6B, 2280, 1260},
                              {IDC_CHKSTARTEDICTOR, 2580, 2100},
                              {IDC_LBLPAGE6C, 2280, 2760}};
constexpr int kRowLeft = 2160, kRowTop = 1080, kRowStep = 420;
constexpr int kOptionLefts[3] = {2460, 3300, 4140};

struct PagePlaces {
  const Place* places;
  int count;
};
PagePlaces PlacesOf(int page) {
  switch (page) {
    case 1:
      return {kPage1Places, 3};
    case 2:
      return {kPage2Places, 2};
    case 3:
      return {kPage3Places, 6};
    case 4:
      return {kPage4Places, 6};
    case 5:
      return {kPage5Places, 2};
    case 6:
      return {kPage6Places, 4};
  }
  return {nullptr, 0};
}

// The row windows are containers: what their options and label tell, their parent hears.
LRESULT CALLBACK RowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SendMessageA(GetParent(hwnd), msg, wParam, lParam);
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}
const char kRowClass[] = "KindlerGroupRow";

bool ShellStart(const std::string& commandLine) {
  if (commandLine.empty()) return false;
  HINSTANCE result = ShellExecuteA(nullptr, "open", commandLine.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

std::string WindowText(HWND hwnd) {
  int length = GetWindowTextLengthA(hwnd);
  std::string text(length + 1, '\0');
  GetWindowTextA(hwnd, text.data(), length + 1);
  text.resize(length);
  return text;
}

}  // namespace

FrmWizard::FrmWizard(WizardLists& lists, std::string libraryName)
    : lists_(lists), store_(std::move(libraryName)), startProgram_(ShellStart) {}

FrmWizard::~FrmWizard() {
  Destroy();
  if (images_) ImageList_Destroy(images_);
  for (HICON icon : icons_) DestroyIcon(icon);
  if (font_) DeleteObject(font_);
  if (boldFont_) DeleteObject(boldFont_);
}

int FrmWizard::Px(int twips, bool horizontal) const { return MulDiv(twips, horizontal ? dpiX_ : dpiY_, 1440); }

HWND FrmWizard::MakeControl(HWND parent, const char* className, const char* text, DWORD style, int id,
                            const Twips& at) {
  HWND control = CreateWindowExA(0, className, text, WS_CHILD | style, Px(at.left, true), Px(at.top, false),
                                 Px(at.width, true), Px(at.height, false), parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), winui::Instance(), nullptr);
  if (control) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return control;
}

HWND FrmWizard::MakeIcon(int id, UINT iconId, int left, int top) {
  HWND control = MakeControl(hwnd_, "STATIC", "", SS_ICON, id, {left, top, 480, 480});
  HICON icon = static_cast<HICON>(LoadImageA(winui::Instance(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, 32, 32, 0));
  if (icon) {
    icons_.push_back(icon);
    SendMessageA(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  }
  return control;
}

bool FrmWizard::MakeGroupRows() {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(winui::Instance(), kRowClass, &wc)) {
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RowProc;
    wc.hInstance = winui::Instance();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kRowClass;
    if (!RegisterClassExA(&wc)) return false;
  }
  for (int r = 1; r <= 5; ++r) {
    HWND row = CreateWindowExA(WS_EX_CONTROLPARENT, kRowClass, "", WS_CHILD | WS_CLIPSIBLINGS, Px(kRowLeft, true),
                               Px(kRowTop + kRowStep * (r - 1), false), Px(4995, true), Px(375, false), hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PICS(r))), winui::Instance(), nullptr);
    if (!row) return false;
    rows_[r] = row;
    std::string caption = "Group " + std::to_string(r);
    MakeControl(row, "STATIC", caption.c_str(), WS_VISIBLE | SS_LEFT | SS_NOPREFIX, IDC_LBLS(r), {180, 60, 2115, 255});
    for (int i = 0; i < 3; ++i) {
      // The first option opens the row's exclusive set; each row is its own container.
      DWORD style = WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | BS_NOTIFY | (i == 0 ? WS_GROUP : 0);
      MakeControl(row, "BUTTON", "", style, IDC_OPTS(r, i), {kOptionLefts[i], 60, 435, 255});
    }
    CheckRadioButton(row, IDC_OPTS(r, 0), IDC_OPTS(r, 2), IDC_OPTS(r, 1));
  }
  return true;
}

bool FrmWizard::Create(Failure& failure) {
  HDC screen = GetDC(nullptr);
  if (screen) {
    dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
    dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  LOGFONTA lf{};
  // The places were laid out for a narrow 8-point face; the faces this platform offers
  // run wider, so a slightly smaller size keeps each label's text within its place.
  lf.lfHeight = -MulDiv(15, dpiY_, 144);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpyA(lf.lfFaceName, "MS Sans Serif");
  font_ = CreateFontIndirectA(&lf);
  lf.lfWeight = FW_BOLD;
  boldFont_ = CreateFontIndirectA(&lf);

  RECT frame = {0, 0, Px(kClientWidth, true), Px(kClientHeight, false)};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  HICON icon = LoadIconA(winui::Instance(), MAKEINTRESOURCEA(IDI_KINDLER));
  if (!Window::Create("KindlerWizard", "Tarnwall Setup Wizard", kWindowStyle, WS_EX_CONTROLPARENT, CW_USEDEFAULT,
                      CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, icon)) {
    failure = {kWindowFailed,
               "The wizard window could not be created (system error " + std::to_string(GetLastError()) + ")."};
    return false;
  }

  // Always visible: the picture, the rule and the four buttons; Back first in tab order.
  HWND picture = MakeControl(hwnd_, "STATIC", "", WS_VISIBLE | SS_BITMAP, IDC_IMAGE1, {240, 240, 1785, 2895});
  SendMessageA(
      picture, STM_SETIMAGE, IMAGE_BITMAP,
      reinterpret_cast<LPARAM>(LoadImageA(winui::Instance(), MAKEINTRESOURCEA(IDB_WIZARD), IMAGE_BITMAP, 0, 0, 0)));
  MakeControl(hwnd_, "STATIC", "", WS_VISIBLE | SS_ETCHEDHORZ, IDC_LINE1, {120, 3480, 6960, 30});
  MakeControl(hwnd_, "BUTTON", "< &Back", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, IDC_CMDBACK,
              {2760, 3720, 1335, 375});
  MakeControl(hwnd_, "BUTTON", "&Next >", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDC_CMDNEXT,
              {4080, 3720, 1335, 375});
  MakeControl(hwnd_, "BUTTON", "Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDC_CMDCANCEL,
              {5760, 3720, 1335, 375});
  MakeControl(hwnd_, "BUTTON", "Help", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDC_CMDHELP, {120, 3720, 1335, 375});

  // Page controls, all hidden until their page is shown.
  const DWORD label = SS_LEFT | SS_NOPREFIX;
  MakeControl(hwnd_, "STATIC", kPage1a, label, IDC_LBLPAGE1A, {2280, 360, 4815, 1395});
  MakeControl(hwnd_, "STATIC", kPage1b, label, IDC_LBLPAGE1B, {2280, 1560, 4815, 1215});
  MakeControl(hwnd_, "STATIC", kPage1c, label, IDC_LBLPAGE1C, {2280, 2760, 4815, 495});
  MakeControl(hwnd_, "STATIC", kPage2, label, IDC_LBLPAGE2, {2280, 240, 4815, 615});
  HWND list = MakeControl(hwnd_, WC_LISTVIEWA, "",
                          WS_BORDER | WS_TABSTOP | LVS_ICON | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE | LVS_SHAREIMAGELISTS,
                          IDC_LVWPROVIDERS, {2280, 960, 4815, 2415});
  MakeControl(hwnd_, "STATIC", kPage3a, label, IDC_LBLPAGE3A, {2280, 360, 4815, 975});
  MakeIcon(IDC_IMGLIGHTS, IDI_LIGHTS, 2280, 1440);
  MakeControl(hwnd_, "STATIC", kPage3c, label, IDC_LBLPAGE3C, {3030, 1440, 3975, 255});
  MakeControl(hwnd_, "STATIC", kPage3e, label, IDC_LBLPAGE3E, {3030, 1740, 3975, 255});
  MakeControl(hwnd_, "STATIC", kPage3g, label, IDC_LBLPAGE3G, {3030, 2040, 3975, 255});
  MakeControl(hwnd_, "STATIC", kPage3h, label, IDC_LBLPAGE3H, {2280, 2580, 4815, 615});
  MakeControl(hwnd_, "STATIC", "Deny", label | SS_CENTER, IDC_LBLPAGE4B, {4410, 720, 675, 255});
  MakeIcon(IDC_IMGRED, IDI_RED, 4485, 180);
  MakeControl(hwnd_, "STATIC", "Ask", label | SS_CENTER, IDC_LBLPAGE4C, {5250, 720, 675, 255});
  MakeIcon(IDC_IMGYELLOW, IDI_YELLOW, 5325, 180);
  MakeControl(hwnd_, "STATIC", "Allow", label | SS_CENTER, IDC_LBLPAGE4D, {6080, 720, 675, 255});
  MakeIcon(IDC_IMGGREEN, IDI_GREEN, 6155, 180);
  if (!MakeGroupRows()) {
    failure = {kWindowFailed, "The group rows could not be created."};
    return false;
  }
  MakeControl(hwnd_, "STATIC", kPage5a, label, IDC_LBLPAGE5A, {2280, 780, 4815, 1335});
  MakeControl(hwnd_, "STATIC", kPage5b, label, IDC_LBLPAGE5B, {2280, 2160, 4815, 735});
  MakeControl(hwnd_, "STATIC", kPage6a, label, IDC_LBLPAGE6A, {2280, 360, 4755, 975});
  MakeControl(hwnd_, "STATIC", kPage6b, label, IDC_LBLPAGE6B, {2280, 1260, 4815, 735});
  MakeControl(hwnd_, "BUTTON", "Start Edictor when complete", WS_TABSTOP | BS_AUTOCHECKBOX, IDC_CHKSTARTEDICTOR,
              {2580, 2100, 3975, 255});
  CheckDlgButton(hwnd_, IDC_CHKSTARTEDICTOR, BST_CHECKED);
  MakeControl(hwnd_, "STATIC", kPage6c, label, IDC_LBLPAGE6C, {2280, 2760, 4815, 255});
  MakeControl(hwnd_, "STATIC", kPage6d, label, IDC_LBLPAGE6D, {2280, 2430, 4815, 255});

  // Form_Load.
  pageThreeTemplate_ = WindowText(Item(IDC_LBLPAGE3A));
  CenterWindow();
  state_ = PageState{};
  EnableWindow(Item(IDC_CMDBACK), ButtonsAfterBack(state_.page).backEnabled);
  ShowPage(state_.page);

  // The wizard owns the pictures (~FrmWizard); the list view only shows them.
  images_ = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, lists_.ProviderCount() + 1, 4);
  ListView_SetImageList(list, images_, LVSIL_NORMAL);
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<char*>("Service Provider");
  column.cx = Px(4815, true) - 24;
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  auto addItem = [&](const std::string& iconFile, const std::string& name, int tag) {
    HICON picture = static_cast<HICON>(LoadImageA(nullptr, iconFile.c_str(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE));
    if (!picture) {
      failure = {kIconUnreadable, "The icon file " + iconFile + " could not be loaded."};
      return false;
    }
    int image = ImageList_AddIcon(images_, picture);
    DestroyIcon(picture);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<char*>(name.c_str());
    item.iImage = image;
    item.lParam = tag;
    return SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) >= 0;
  };
  for (int v = 0; v < lists_.ProviderCount(); ++v) {
    const ProviderEntry& p = lists_.Providers()[v];
    if (!addItem(p.iconFile, p.name, v)) return false;
  }
  return addItem("trffc13.ico", "Other", -1);
}

void FrmWizard::CenterWindow() {
  RECT r;
  GetWindowRect(hwnd_, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FrmWizard::PlaceControl(HWND control, int left, int top) {
  SetWindowPos(control, nullptr, Px(left, true), Px(top, false), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(control, SW_SHOW);
}

std::vector<int> FrmWizard::SelectedTags() const {
  std::vector<int> tags;
  HWND list = Item(IDC_LVWPROVIDERS);
  int count = ListView_GetItemCount(list);
  for (int i = 0; i < count; ++i) {
    if (!(ListView_GetItemState(list, i, LVIS_SELECTED) & LVIS_SELECTED)) continue;
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = i;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    tags.push_back(static_cast<int>(item.lParam));
  }
  return tags;
}

void FrmWizard::ShowPage(int page) {
  SetWindowContextHelpId(hwnd_, 0);
  PagePlaces places = PlacesOf(page);
  if (page == 3) {
    std::string text = PageThreeText(pageThreeTemplate_, SelectedTags(), lists_);
    SetWindowTextA(Item(IDC_LBLPAGE3A), text.c_str());
  }
  for (int i = 0; i < places.count; ++i)
    PlaceControl(Item(places.places[i].id), places.places[i].left, places.places[i].top);
  if (page == 4) {
    for (int r = 1; r <= 5; ++r) FillGroupRow(r);
  }
  if (page == 6) {
    // Providers were chosen, yet their lists named no service: page 4 was left out.
    if (ShowsNoServicesNote(state_, lists_.GroupCount()))
      PlaceControl(Item(IDC_LBLPAGE6D), 2280, 2430);
    else
      HideControl(Item(IDC_LBLPAGE6D));
  }
}

void FrmWizard::FillGroupRow(int r) {
  HWND row = rows_[r];
  GroupRowLook look = RowLook(state_, r, lists_);
  if (look.shown) {
    SetDlgItemTextA(row, IDC_LBLS(r), look.name.c_str());
    CheckRadioButton(row, IDC_OPTS(r, 0), IDC_OPTS(r, 2), IDC_OPTS(r, look.option));
    OptionClick(r, look.option);
    PlaceControl(row, kRowLeft, kRowTop + kRowStep * (r - 1));
  } else {
    SetDlgItemTextA(row, IDC_LBLS(r), "");
    HideControl(row);
  }
}

void FrmWizard::HidePage(int page) {
  PagePlaces places = PlacesOf(page);
  for (int i = 0; i < places.count; ++i) HideControl(Item(places.places[i].id));
  if (page == 4)
    for (int r = 1; r <= 5; ++r) HideControl(rows_[r]);
  if (page == 6) HideControl(Item(IDC_LBLPAGE6D));
}

void FrmWizard::OptionClick(int row, int index) {
  if (IsDlgButtonChecked(rows_[row], IDC_OPTS(row, index)) != BST_CHECKED) return;
  lists_.SetAccess(GroupOfRow(state_, row), CodeOfOption(index));
}

void FrmWizard::OptionFocus(int row, bool focus) {
  SendDlgItemMessageA(rows_[row], IDC_LBLS(row), WM_SETFONT, reinterpret_cast<WPARAM>(focus ? boldFont_ : font_), TRUE);
}

bool FrmWizard::AcceptProviderPage() {
  Acceptance acceptance = AcceptProviders(SelectedTags(), lists_, state_);
  if (acceptance.refusal)
    winui::ShowMessageBox(hwnd_, acceptance.refusal, kConfigurationTitle, MB_ICONEXCLAMATION | MB_OK);
  return acceptance.accepted;
}

void FrmWizard::ShowButtons(const ButtonLook& look) {
  EnableWindow(Item(IDC_CMDBACK), look.backEnabled);
  SetWindowTextA(Item(IDC_CMDNEXT), look.nextCaption);
  SetFocus(Item(look.focusOnNext ? IDC_CMDNEXT : IDC_CMDBACK));
}

void FrmWizard::cmdNext_Click() {
  if (state_.page == 2 && !AcceptProviderPage()) return;
  NextStep step = NextFrom(state_);
  if (step.finish) {
    Finish();
    return;
  }
  HidePage(state_.page);
  state_ = step.to;
  ShowPage(state_.page);
  ShowButtons(ButtonsAfterNext(state_.page));
}

void FrmWizard::cmdBack_Click() {
  if (state_.page < 2) return;
  HidePage(state_.page);
  state_ = BackFrom(state_);
  ShowPage(state_.page);
  ShowButtons(ButtonsAfterBack(state_.page));
}

void FrmWizard::cmdCancel_Click() {
  cancelRequested_ = true;
  CloseForm(CloseOrigin::kProgram);
}

void FrmWizard::cmdHelp_Click() {
  // The wizard's own topic of the help file in the Windows directory.
  winui::ShowHelp(hwnd_, winui::HelpFilePath(), HELP_CONTEXT, IDH_TARNWALL_KINDLER);
}

bool FrmWizard::Form_QueryUnload(CloseOrigin origin) {
  if (!AsksBeforeClosing(origin, cancelRequested_)) return true;
  return winui::ShowMessageBox(hwnd_, kExitQuestion, kConfigurationTitle, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void FrmWizard::CloseForm(CloseOrigin origin) {
  if (!Form_QueryUnload(origin)) return;
  Destroy();
}

void FrmWizard::Finish() {
  if (!store_.SaveRuleSet(lists_, edictorPath_)) {
    winui::ShowMessageBox(hwnd_, kNotSaved, kSetupTitle, MB_ICONEXCLAMATION | MB_OK);
    return;
  }
  cancelRequested_ = false;
  bool ticked = IsDlgButtonChecked(hwnd_, IDC_CHKSTARTEDICTOR) == BST_CHECKED;
  CloseForm(CloseOrigin::kProgram);
  std::string path = EdictorToStart(edictorPath_, ticked);
  if (path.empty()) return;
  if (!startProgram_(ShortPath(path)))
    winui::ShowMessageBox(nullptr, kNotStarted, kSetupTitle, MB_ICONEXCLAMATION | MB_OK);
}

LRESULT FrmWizard::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  ++handlerDepth_;
  LRESULT result = HandleMessage(msg, wParam, lParam);
  // A message box's modal loop ends at a pending quit: post it only when the outermost
  // handler, which may still have something to show, has returned.
  if (--handlerDepth_ == 0 && quitPending_) {
    quitPending_ = false;
    PostQuitMessage(0);
  }
  return result;
}

LRESULT FrmWizard::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND: {
      int id = LOWORD(wParam), code = HIWORD(wParam);
      if (id >= IDC_OPTS(1, 0) && id <= IDC_OPTS(5, 2)) {
        int row = (id - 1500) / 10, index = (id - 1500) % 10;
        if (row >= 1 && row <= 5 && index <= 2) {
          if (code == BN_CLICKED)
            OptionClick(row, index);
          else if (code == BN_SETFOCUS)
            OptionFocus(row, true);
          else if (code == BN_KILLFOCUS)
            OptionFocus(row, false);
        }
        return 0;
      }
      if (code != BN_CLICKED) break;
      switch (id) {
        case IDOK:  // Enter: the default button, when it may be pressed
          if (IsWindowEnabled(Item(IDC_CMDNEXT))) cmdNext_Click();
          return 0;
        case IDC_CMDNEXT:
          cmdNext_Click();
          return 0;
        case IDC_CMDBACK:
          cmdBack_Click();
          return 0;
        case IDCANCEL:
        case IDC_CMDCANCEL:
          cmdCancel_Click();
          return 0;
        case IDC_CMDHELP:
          cmdHelp_Click();
          return 0;
      }
      break;
    }
    case DM_GETDEFID:
      return MAKELRESULT(IDC_CMDNEXT, DC_HASDEFID);
    case WM_HELP:
      cmdHelp_Click();
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_CLOSE:
      CloseForm(CloseOrigin::kUser);
      return 0;
    case WM_DESTROY:
      if (quitOnClose_) quitPending_ = true;
      break;
  }
  return Window::WindowProc(msg, wParam, lParam);
}

bool StartWizard(FrmWizard& wizard, WizardLists& lists) {
  Failure failure;
  int step = 1;
  bool ok = lists.LoadProviderList(failure, step);
  if (ok) {
    step = 2;
    ok = wizard.Create(failure);
  }
  if (!ok) {
    // The message first: closing the window ends the program's message loop.
    winui::ShowMessageBox(nullptr, ProviderListFailureMessage(failure, step).c_str(), kSetupTitle, MB_ICONSTOP | MB_OK);
    wizard.Destroy();
    return false;
  }
  ShowWindow(wizard.hwnd(), SW_SHOW);
  UpdateWindow(wizard.hwnd());
  return true;
}

int RunMessageLoop(FrmWizard& wizard) {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // Tab, Enter (Next) and Esc (Cancel) as in a dialog.
    if (wizard.hwnd() && IsDialogMessageA(wizard.hwnd(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

CodePage CodePageOf(UINT codePage) {
  if (codePage == CP_UTF8) return CodePage::Utf8();
  CodePage page;
  CPINFO info{};
  if (!GetCPInfo(codePage, &info)) return page;
  // Lead bytes come as inclusive ranges, pairs of bytes ending with a zero pair.
  for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i]; i += 2)
    for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) page.lead[b] = true;
  return page;
}

}  // namespace kindler
