// winui::Dialog - a dialog from a template in the resources, modal or modeless, whose
// messages go to member handlers.
//
// A subclass names its template in the constructor and overrides the handlers it needs.
// OnInitDialog fills the controls; OnOK reads them back and ends the dialog. For what has
// no handler of its own, OnMessage sees every message first and may claim it.
//
//   class CAboutDialog : public winui::Dialog {
//   public: CAboutDialog() : Dialog(141) {}
//   };
//   CAboutDialog().DoModal(owner);
#pragma once
#include <windows.h>

#include <string>

namespace winui {

class Dialog {
 public:
  explicit Dialog(UINT templateId) : templateId_(templateId) {}
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog until EndDialog; returns its result, or -1 when it could not be made.
  INT_PTR DoModal(HWND owner);
  // Makes the dialog and returns at once; false when it could not be made. A template
  // with WS_CHILD makes a form inside `parent`.
  bool Create(HWND parent);
  // Ends a modal dialog with `result`, or destroys a modeless one.
  void EndDialog(INT_PTR result);

  HWND hwnd() const { return hwnd_; }
  UINT templateId() const { return templateId_; }
  bool IsModal() const { return modal_; }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

  // Control helpers, by identifier.
  std::string GetItemText(int id) const;
  void SetItemText(int id, const char* text) const;
  int GetItemInt(int id, bool* ok = nullptr, bool isSigned = true) const;
  bool IsChecked(int id) const;
  void SetCheck(int id, bool checked) const;
  void EnableItem(int id, bool enable) const;
  void ShowItem(int id, bool show) const;
  LRESULT SendItem(int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;

  // The dialog object behind a dialog made by this class, or null.
  static Dialog* FromHandle(HWND hwnd);

 protected:
  // Return FALSE when the focus was set here.
  virtual BOOL OnInitDialog() { return TRUE; }
  // Buttons, menus, accelerators and control notifications by WM_COMMAND.
  virtual bool OnCommand(int id, int code, HWND control);
  virtual LRESULT OnNotify(NMHDR* header) { return 0; }
  virtual void OnTimer(UINT_PTR id) {}
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  virtual void OnClose() { OnCancel(); }
  virtual void OnDestroy() {}
  // Every message, before the handlers above. Return true, with `result` set, to claim it.
  virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }

  HWND hwnd_ = nullptr;

 private:
  static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  INT_PTR Route(UINT msg, WPARAM wParam, LPARAM lParam);

  UINT templateId_;
  bool modal_ = false;
};

}  // namespace winui
