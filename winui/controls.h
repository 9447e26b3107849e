// winui controls: typed wrappers of the common controls the programs use. Each holds the
// control's window handle only (no ownership) and turns the control's messages into calls
// with the types they take. Text is 8-bit; item data is an LPARAM the caller chooses.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

namespace winui {

// Loads the common-control classes used here; call once before making windows.
void InitCommonControls();

class ImageList {
 public:
  ImageList() = default;
  explicit ImageList(HIMAGELIST list) : list_(list) {}
  // An image list of `cx` × `cy` colour pictures with a mask.
  static ImageList Create(int cx, int cy, int initial, int grow);
  // Adds an icon resource (or a bitmap resource, masked by `maskColour`); returns its index or -1.
  int AddIcon(UINT iconId, int cx, int cy) const;
  int AddBitmap(UINT bitmapId, COLORREF maskColour) const;
  int Count() const { return list_ ? ImageList_GetImageCount(list_) : 0; }
  void Destroy();
  HIMAGELIST handle() const { return list_; }

 private:
  HIMAGELIST list_ = nullptr;
};

class TreeCtrl {
 public:
  TreeCtrl() = default;
  explicit TreeCtrl(HWND hwnd) : hwnd_(hwnd) {}
  HWND hwnd() const { return hwnd_; }

  HTREEITEM Insert(HTREEITEM parent, HTREEITEM after, const char* text, int image, int selectedImage,
                   LPARAM data) const;
  bool Delete(HTREEITEM item) const;
  void DeleteAll() const;
  std::string GetText(HTREEITEM item) const;
  bool SetText(HTREEITEM item, const char* text) const;
  LPARAM GetData(HTREEITEM item) const;
  int GetImage(HTREEITEM item) const;
  bool SetImage(HTREEITEM item, int image, int selectedImage) const;
  HTREEITEM Root() const { return Next(nullptr, TVGN_ROOT); }
  HTREEITEM Child(HTREEITEM item) const { return Next(item, TVGN_CHILD); }
  HTREEITEM Sibling(HTREEITEM item) const { return Next(item, TVGN_NEXT); }
  HTREEITEM Parent(HTREEITEM item) const { return Next(item, TVGN_PARENT); }
  HTREEITEM Selected() const { return Next(nullptr, TVGN_CARET); }
  bool Select(HTREEITEM item) const;
  bool Expand(HTREEITEM item, UINT how = TVE_EXPAND) const;
  int Count() const;
  void SetImageList(const ImageList& images, int which = TVSIL_NORMAL) const;
  // The item at a point in client coordinates, with TVHT_ flags.
  HTREEITEM HitTest(POINT client, UINT* flags = nullptr) const;
  HWND EditLabel(HTREEITEM item) const;

 private:
  HTREEITEM Next(HTREEITEM item, UINT how) const;
  HWND hwnd_ = nullptr;
};

class ListCtrl {
 public:
  ListCtrl() = default;
  explicit ListCtrl(HWND hwnd) : hwnd_(hwnd) {}
  HWND hwnd() const { return hwnd_; }

  int InsertColumn(int index, const char* heading, int width, int format = LVCFMT_LEFT) const;
  int InsertItem(int index, const char* text, int image, LPARAM data) const;
  bool SetItemText(int index, int column, const char* text) const;
  std::string GetItemText(int index, int column) const;
  bool SetImage(int index, int image) const;
  int GetImage(int index) const;
  LPARAM GetData(int index) const;
  // The row whose data is `data`, or -1.
  int FindData(LPARAM data) const;
  bool DeleteItem(int index) const;
  void DeleteAll() const;
  int Count() const;
  int Selected() const;
  bool Select(int index) const;
  int ColumnWidth(int column) const;
  // Sorts with a comparison of two items' data; `context` is passed on.
  bool Sort(PFNLVCOMPARE compare, LPARAM context) const;
  void SetImageList(const ImageList& images, int which = LVSIL_SMALL) const;
  void SetExtendedStyle(DWORD style) const;
  int HitTest(POINT client, UINT* flags = nullptr) const;
  HWND EditLabel(int index) const;

 private:
  HWND hwnd_ = nullptr;
};

class TabCtrl {
 public:
  TabCtrl() = default;
  explicit TabCtrl(HWND hwnd) : hwnd_(hwnd) {}
  HWND hwnd() const { return hwnd_; }
  int Insert(int index, const char* text) const;
  int Count() const;
  int Current() const;
  // Selects tab `index` without sending the selection notifications, as the control does.
  int SetCurrent(int index) const;
  std::string GetText(int index) const;
  // The display area under the tabs, in the tab control's parent's coordinates.
  RECT DisplayArea() const;

 private:
  HWND hwnd_ = nullptr;
};

// A tool-tip control that shows a text for each registered control of one window.
class ToolTip {
 public:
  ToolTip() = default;
  bool Create(HWND owner);
  // Registers `control` with `text` (copied by the control).
  bool Add(HWND control, const char* text) const;
  std::string GetText(HWND control) const;
  void Activate(bool on) const;
  HWND hwnd() const { return hwnd_; }
  void Destroy();

 private:
  HWND hwnd_ = nullptr;
  HWND owner_ = nullptr;
};

}  // namespace winui
