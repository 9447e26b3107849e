#include "main_frame.h"

#include <string.h>

#include "controls.h"
#include "edictor_ids.h"
#include "window.h"

namespace edictor {

std::string CEdictorDoc::Title() const { return winui::LoadText(IDR_MAINFRAME); }
std::string CEdictorDoc::TypeName() const { return winui::LoadText(IDS_DOC_TYPE); }

bool CMainFrame::Create(CTreeDialog* view, int showCommand) {
    view_ = view;
    std::string title = CEdictorDoc().Title();
    if (!CreateFrame(kFrameClass, title.c_str(), IDR_MAINFRAME, IDR_MAINFRAME, IDR_MAINFRAME, 600, 400, true))
        return false;
    LONG_PTR style = GetWindowLongPtrA(hwnd_, GWL_STYLE);
    SetWindowLongPtrA(hwnd_, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_THICKFRAME | WS_MAXIMIZEBOX));
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    // A frame that cannot be resized has no use for a size grip.
    if (statusBar_) {
        SetWindowLongPtrA(statusBar_, GWL_STYLE, GetWindowLongPtrA(statusBar_, GWL_STYLE) & ~SBARS_SIZEGRIP);
    }
    if (!AttachForm(view)) {
        DestroyWindow(hwnd_);
        return false;
    }
    if (view->OnInitialUpdate(hwnd_)) FitToForm();
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    view->OnActivateView();
    return true;
}

void CMainFrame::FitToForm() {
    RECT form = {0, 0, 335, 191};
    MapDialogRect(view_->hwnd(), &form);
    RECT bar = {0, 0, 0, 0};
    if (statusBar_) GetWindowRect(statusBar_, &bar);
    RECT frame = {0, 0, form.right, form.bottom + (bar.bottom - bar.top)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE)), GetMenu(hwnd_) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_EXSTYLE)));
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps takes more room than the adjustment allowed for.
    RECT area = FormArea();
    int shortBy = form.bottom - (area.bottom - area.top);
    if (shortBy > 0) {
        RECT now;
        GetWindowRect(hwnd_, &now);
        SetWindowPos(hwnd_, nullptr, 0, 0, now.right - now.left, now.bottom - now.top + shortBy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LayoutForm();
}

bool CMainFrame::OnCommand(int id, int code, HWND control) {
    if (id == ID_APP_EXIT_CMD) {
        PostMessageA(hwnd_, WM_CLOSE, 0, 0);
        return true;
    }
    return false;
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && view_) view_->OnActivateView();
    if (msg == WM_DESTROY && !quitOnDestroy_) {
        OnDestroy();
        return 0;
    }
    return FrameWindow::WindowProc(msg, wParam, lParam);
}

CEdictorApp::CEdictorApp() {
    UINT length = GetWindowsDirectoryA(helpPath_, sizeof helpPath_);
    if (length == 0 || length >= sizeof helpPath_ - 16) helpPath_[0] = '\0';
    strncat(helpPath_, "\\Tarnwall.hlp", sizeof helpPath_ - strlen(helpPath_) - 1);
}

bool CEdictorApp::InitInstance(int showCommand) {
    winui::InitCommonControls();
    return frame_.Create(&view_, showCommand);
}

int CEdictorApp::Run() { return winui::RunMessageLoop(frame_.hwnd(), frame_.accelerators()); }

}  // namespace edictor
