// CMainFrame - Edictor's main window: a fixed-size frame (no sizing border, no maximize
// box) titled "Tarnwall Edictor" around the one form view, CTreeDialog, sized to fit it.
// CEdictorDoc holds no data: the rule set lives in the shared lists, and every change is
// stored as it is made, so there is nothing to open or save.
#pragma once
#include <windows.h>

#include <string>

#include "frame.h"
#include "tree_dialog.h"

namespace edictor {

class CEdictorDoc {
public:
    // The main resource's window title and document type name.
    std::string Title() const;
    std::string TypeName() const;
};

class CMainFrame : public winui::FrameWindow {
public:
    // Makes the frame with `view` as its form (not owned), runs the view's initial update,
    // shows the frame and activates the view. False when a window could not be made.
    bool Create(CTreeDialog* view, int showCommand);
    CTreeDialog* view() const { return view_; }
    // Tests keep their message queue free of WM_QUIT when a frame ends.
    void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void FitToForm();
    CTreeDialog* view_ = nullptr;
    bool quitOnDestroy_ = true;
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
