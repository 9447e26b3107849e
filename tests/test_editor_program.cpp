// The real edictor.exe: one instance at a time, and a killed one does not keep the next
// from starting.
#include <gtest/gtest.h>

#include "editor_fixture.h"

namespace {

HWND WaitForRegistration(HWND other, DWORD ms) {
    HWND found = nullptr;
    winui::PumpUntil(
        [&] {
            found = PFW_GetGlobalEdictorHwnd();
            return found && found != other && IsWindow(found);
        },
        ms);
    return found != other ? found : nullptr;
}

TEST_F(EditorTest, TheProgramRunsOnceAndStartsAgainAfterBeingKilled) {
    HANDLE first = start_helper("edictor.exe");
    ASSERT_NE(first, nullptr);
    HWND firstView = WaitForRegistration(nullptr, 20000);
    ASSERT_NE(firstView, nullptr);
    EXPECT_TRUE(edictor::IsEditorWindow(firstView));

    // The second closes by itself and leaves the first registered.
    EXPECT_EQ(run_helper("edictor.exe", 20000), 0);
    EXPECT_EQ(PFW_GetGlobalEdictorHwnd(), firstView);
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // Killed, it leaves its handle behind; the next one starts all the same.
    TerminateProcess(first, 9);
    WaitForSingleObject(first, 10000);
    CloseHandle(first);
    EXPECT_EQ(PFW_GetGlobalEdictorHwnd(), firstView);
    HANDLE third = start_helper("edictor.exe");
    ASSERT_NE(third, nullptr);
    HWND thirdView = WaitForRegistration(firstView, 20000);
    ASSERT_NE(thirdView, nullptr);
    Screenshot(GetAncestor(thirdView, GA_ROOT), "editor_program");

    // Closed the ordinary way, it takes its registration back.
    PostMessageA(GetAncestor(thirdView, GA_ROOT), WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(third, 20000), WAIT_OBJECT_0);
    CloseHandle(third);
    EXPECT_EQ(PFW_GetGlobalEdictorHwnd(), nullptr);
}

}  // namespace
