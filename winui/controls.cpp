#include "controls.h"

#include "window.h"

namespace winui {

void InitCommonControls() {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES |
                                             ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&init);
}

// --- ImageList ------------------------------------------------------------------------

ImageList ImageList::Create(int cx, int cy, int initial, int grow) {
  return ImageList(ImageList_Create(cx, cy, ILC_COLOR24 | ILC_MASK, initial, grow));
}

int ImageList::AddIcon(UINT iconId, int cx, int cy) const {
  HICON icon = static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, cx, cy, 0));
  if (!icon || !list_) return -1;
  int index = ImageList_AddIcon(list_, icon);
  DestroyIcon(icon);
  return index;
}

int ImageList::AddBitmap(UINT bitmapId, COLORREF maskColour) const {
  HBITMAP bitmap = LoadBitmapA(Instance(), MAKEINTRESOURCEA(bitmapId));
  if (!bitmap || !list_) return -1;
  int index = ImageList_AddMasked(list_, bitmap, maskColour);
  DeleteObject(bitmap);
  return index;
}

void ImageList::Destroy() {
  if (list_) ImageList_Destroy(list_);
  list_ = nullptr;
}

// --- TreeCtrl -------------------------------------------------------------------------

HTREEITEM TreeCtrl::Insert(HTREEITEM parent, HTREEITEM after, const char* text, int image, int selectedImage,
                           LPARAM data) const {
  TVINSERTSTRUCTA insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = after ? after : TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text);
  insert.item.iImage = image;
  insert.item.iSelectedImage = selectedImage;
  insert.item.lParam = data;
  return reinterpret_cast<HTREEITEM>(SendMessageA(hwnd_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

bool TreeCtrl::Delete(HTREEITEM item) const {
  return SendMessageA(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)) != 0;
}

void TreeCtrl::DeleteAll() const { SendMessageA(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

std::string TreeCtrl::GetText(HTREEITEM item) const {
  char buffer[512] = "";
  TVITEMA tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = buffer;
  tv.cchTextMax = sizeof buffer;
  SendMessageA(hwnd_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return buffer;
}

bool TreeCtrl::SetText(HTREEITEM item, const char* text) const {
  TVITEMA tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = const_cast<char*>(text);
  return SendMessageA(hwnd_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv)) != 0;
}

LPARAM TreeCtrl::GetData(HTREEITEM item) const {
  TVITEMA tv{};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  SendMessageA(hwnd_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return tv.lParam;
}

int TreeCtrl::GetImage(HTREEITEM item) const {
  TVITEMA tv{};
  tv.mask = TVIF_IMAGE;
  tv.hItem = item;
  SendMessageA(hwnd_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return tv.iImage;
}

bool TreeCtrl::SetImage(HTREEITEM item, int image, int selectedImage) const {
  TVITEMA tv{};
  tv.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  tv.hItem = item;
  tv.iImage = image;
  tv.iSelectedImage = selectedImage;
  return SendMessageA(hwnd_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv)) != 0;
}

bool TreeCtrl::Select(HTREEITEM item) const {
  return SendMessageA(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

bool TreeCtrl::Expand(HTREEITEM item, UINT how) const {
  return SendMessageA(hwnd_, TVM_EXPAND, how, reinterpret_cast<LPARAM>(item)) != 0;
}

int TreeCtrl::Count() const { return static_cast<int>(SendMessageA(hwnd_, TVM_GETCOUNT, 0, 0)); }

void TreeCtrl::SetImageList(const ImageList& images, int which) const {
  SendMessageA(hwnd_, TVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(images.handle()));
}

HTREEITEM TreeCtrl::HitTest(POINT client, UINT* flags) const {
  TVHITTESTINFO hit{};
  hit.pt = client;
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(hwnd_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (flags) *flags = hit.flags;
  return item;
}

HWND TreeCtrl::EditLabel(HTREEITEM item) const {
  return reinterpret_cast<HWND>(SendMessageA(hwnd_, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM TreeCtrl::Next(HTREEITEM item, UINT how) const {
  return reinterpret_cast<HTREEITEM>(SendMessageA(hwnd_, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

// --- ListCtrl -------------------------------------------------------------------------

int ListCtrl::InsertColumn(int index, const char* heading, int width, int format) const {
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<char*>(heading);
  column.iSubItem = index;
  return static_cast<int>(SendMessageA(hwnd_, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)));
}

int ListCtrl::InsertItem(int index, const char* text, int image, LPARAM data) const {
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = index;
  item.pszText = const_cast<char*>(text);
  item.iImage = image;
  item.lParam = data;
  return static_cast<int>(SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListCtrl::SetItemText(int index, int column, const char* text) const {
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text);
  return SendMessageA(hwnd_, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item)) != 0;
}

std::string ListCtrl::GetItemText(int index, int column) const {
  char buffer[512] = "";
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  SendMessageA(hwnd_, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

bool ListCtrl::SetImage(int index, int image) const {
  LVITEMA item{};
  item.mask = LVIF_IMAGE;
  item.iItem = index;
  item.iImage = image;
  return SendMessageA(hwnd_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

int ListCtrl::GetImage(int index) const {
  LVITEMA item{};
  item.mask = LVIF_IMAGE;
  item.iItem = index;
  SendMessageA(hwnd_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage;
}

LPARAM ListCtrl::GetData(int index) const {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  SendMessageA(hwnd_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.lParam;
}

int ListCtrl::FindData(LPARAM data) const {
  LVFINDINFOA find{};
  find.flags = LVFI_PARAM;
  find.lParam = data;
  return static_cast<int>(SendMessageA(hwnd_, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

bool ListCtrl::DeleteItem(int index) const { return SendMessageA(hwnd_, LVM_DELETEITEM, index, 0) != 0; }

void ListCtrl::DeleteAll() const { SendMessageA(hwnd_, LVM_DELETEALLITEMS, 0, 0); }

int ListCtrl::Count() const { return static_cast<int>(SendMessageA(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }

int ListCtrl::Selected() const {
  return static_cast<int>(SendMessageA(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool ListCtrl::Select(int index) const {
  LVITEMA item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  return SendMessageA(hwnd_, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item)) != 0;
}

int ListCtrl::ColumnWidth(int column) const {
  return static_cast<int>(SendMessageA(hwnd_, LVM_GETCOLUMNWIDTH, column, 0));
}

bool ListCtrl::Sort(PFNLVCOMPARE compare, LPARAM context) const {
  return SendMessageA(hwnd_, LVM_SORTITEMS, context, reinterpret_cast<LPARAM>(compare)) != 0;
}

void ListCtrl::SetImageList(const ImageList& images, int which) const {
  SendMessageA(hwnd_, LVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(images.handle()));
}

void ListCtrl::SetExtendedStyle(DWORD style) const { SendMessageA(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, style, style); }

int ListCtrl::HitTest(POINT client, UINT* flags) const {
  LVHITTESTINFO hit{};
  hit.pt = client;
  int index = static_cast<int>(SendMessageA(hwnd_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (flags) *flags = hit.flags;
  return index;
}

HWND ListCtrl::EditLabel(int index) const {
  return reinterpret_cast<HWND>(SendMessageA(hwnd_, LVM_EDITLABELA, index, 0));
}

// --- TabCtrl --------------------------------------------------------------------------

int TabCtrl::Insert(int index, const char* text) const {
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(text);
  return static_cast<int>(SendMessageA(hwnd_, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item)));
}

int TabCtrl::Count() const { return static_cast<int>(SendMessageA(hwnd_, TCM_GETITEMCOUNT, 0, 0)); }

int TabCtrl::Current() const { return static_cast<int>(SendMessageA(hwnd_, TCM_GETCURSEL, 0, 0)); }

int TabCtrl::SetCurrent(int index) const { return static_cast<int>(SendMessageA(hwnd_, TCM_SETCURSEL, index, 0)); }

std::string TabCtrl::GetText(int index) const {
  char buffer[256] = "";
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  SendMessageA(hwnd_, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

RECT TabCtrl::DisplayArea() const {
  RECT area;
  GetWindowRect(hwnd_, &area);
  MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&area), 2);
  SendMessageA(hwnd_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  return area;
}

// --- ToolTip --------------------------------------------------------------------------

bool ToolTip::Create(HWND owner) {
  owner_ = owner;
  hwnd_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, Instance(), nullptr);
  return hwnd_ != nullptr;
}

bool ToolTip::Add(HWND control, const char* text) const {
  TTTOOLINFOA info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = owner_;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = const_cast<char*>(text);
  return SendMessageA(hwnd_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

std::string ToolTip::GetText(HWND control) const {
  char buffer[512] = "";
  TTTOOLINFOA info{};
  info.cbSize = sizeof info;
  info.hwnd = owner_;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = buffer;
  SendMessageA(hwnd_, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&info));
  return buffer;
}

void ToolTip::Activate(bool on) const { SendMessageA(hwnd_, TTM_ACTIVATE, on, 0); }

void ToolTip::Destroy() {
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

}  // namespace winui
