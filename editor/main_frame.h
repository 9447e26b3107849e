// CMainFrame - Edictor's main window: a fixed-size frame (no sizing border, no maximize
// box) titled "Tarnwall Edictor" around the one form view, CTreeDialog, sized to fit it.
// CEdictorDoc holds no data: the rule set lives in the shared lists, and every change is
// stored as it is made, so there is nothing to open or save.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "frame.h"
#include "help_topics.h"
#include "tree_dialog.h"

namespace edictor {

class CEdictorDoc {
public:
    // The main resource's window title and document type name.
    std::string Title() const;
    std::string TypeName() const;
};

// The name of the claim that makes this process the one running editor (winui::InstanceClaim).
extern const char* const kInstanceMutexName;

// The About box: the program's picture, name, version and maker.
class CAboutDialog : public CHelpedDialog {
public:
    CAboutDialog();
    ~CAboutDialog() override;

protected:
    BOOL OnInitDialog() override;

private:
    HICON picture_ = nullptr;
};

// Feedback: how to reach the makers; "Browse to Tarnwall" opens the feedback shortcut in
// the Windows directory with the shell and closes the dialog.
class CFeedbackDialog : public CHelpedDialog {
public:
    CFeedbackDialog();
    // The shell's "open" on a file; tests replace it.
    static std::function<void(HWND owner, const char* path)> shellOpen;
    static std::string FeedbackPath();

protected:
    bool OnCommand(int id, int code, HWND control) override;
};

// The status-bar prompt and the tool tip of a command, from its "prompt\ntip" string.
std::string CommandPrompt(UINT id);
std::string CommandTip(UINT id);

enum ToolbarEdge { kEdgeTop, kEdgeBottom, kEdgeLeft, kEdgeRight };

class CMainFrame : public winui::FrameWindow {
public:
    // Makes the frame with `view` as its form (not owned), runs the view's initial update,
    // shows the frame and activates the view. False when a window could not be made.
    bool Create(CTreeDialog* view, int showCommand);
    CTreeDialog* view() const { return view_; }
    // Tests keep their message queue free of WM_QUIT when a frame ends.
    void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }
    void SetHelpPath(const char* path) { SetHelpFilePath(path); }
    const std::string& helpPath() const { return HelpFilePath(); }
    HWND toolbar() const { return toolbar_; }
    ToolbarEdge toolbarEdge() const { return edge_; }
    void MoveToolbar(ToolbarEdge edge);
    bool inHelpMode() const { return helpMode_; }
    RECT FormArea() const override;
    // One message of the program's loop before it is dispatched: Escape while help mode is
    // on, then the frame's keys and the keys of the dialog that holds the focus. True when
    // the message was used up here.
    bool PreTranslateMessage(MSG* msg);
    // The topic F1 opens where the keyboard focus is now.
    ULONG_PTR FocusHelpTopic() const;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR* header) override;
    void OnMenuSelect(UINT id, UINT flags, HMENU menu) override;

private:
    void CreateToolbar();
    void PlaceToolbar();
    RECT ClientLessStatusBar() const;
    void FitToForm();
    void Help(UINT command, ULONG_PTR data);
    bool ForwardKeyToEdit(UINT key);
    void EndHelpMode(POINT* clicked);
    ULONG_PTR TopicAt(POINT client) const;
    bool OnContextMenuKey(MSG* msg);
    bool contextKeyDown_ = false;
    bool OnHelp(const HELPINFO* info);
    CTreeDialog* view_ = nullptr;
    bool quitOnDestroy_ = true;
    HWND toolbar_ = nullptr;
    HICON smallIcon_ = nullptr;
    winui::ImageList toolbarImages_;
    ToolbarEdge edge_ = kEdgeTop;
    bool helpMode_ = false;
};

// The application: the help file's path, then the document, frame and view.
class CEdictorApp {
public:
    CEdictorApp();
    bool InitInstance(int showCommand);
    int Run();
    const char* helpPath() const { return helpPath_; }
    CMainFrame& frame() { return frame_; }

private:
    char helpPath_[360] = "";
    CEdictorDoc doc_;
    CMainFrame frame_;
    CTreeDialog view_;
};

}  // namespace edictor
