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

// Two editors started at the same moment, 20 times: each time exactly one runs, and the
// other ends by itself, silently. The claim is taken before any window, so the loser never
// comes near the record: the runner's record and its taking it back on close are checked in
// the first and the last round; in the others the runner is killed as soon as the loser
// has ended, and the next round's winner takes over the claim it leaves abandoned.
TEST_F(EditorTest, TwoEditorsStartedTogetherGiveExactlyOne) {
  const int rounds = 20;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    HANDLE both[2] = {start_helper("edictor.exe"), start_helper("edictor.exe")};
    // Whatever the round's outcome, no editor outlives it.
    struct EndBoth {
      HANDLE* both;
      ~EndBoth() {
        for (int i = 0; i < 2; ++i) {
          if (!both[i]) continue;
          if (WaitForSingleObject(both[i], 0) == WAIT_TIMEOUT) TerminateProcess(both[i], 9);
          WaitForSingleObject(both[i], 10000);
          CloseHandle(both[i]);
        }
        PFW_SetGlobalEdictorHwnd(nullptr);
      }
    } endBoth{both};
    ASSERT_NE(both[0], nullptr);
    ASSERT_NE(both[1], nullptr);
    DWORD ended = WaitForMultipleObjects(2, both, FALSE, 30000);
    ASSERT_LT(ended - WAIT_OBJECT_0, 2u) << "neither editor ended: both run";
    HANDLE loser = both[ended - WAIT_OBJECT_0], runner = both[1 - (ended - WAIT_OBJECT_0)];
    DWORD code = 99;
    GetExitCodeProcess(loser, &code);
    EXPECT_EQ(code, 0u);
    // The runner holds the claim for its whole life: it is still there.
    EXPECT_EQ(WaitForSingleObject(runner, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the runner ended too";
    if (round != 0 && round != rounds - 1) continue;  // killed by EndBoth
    HWND view = WaitForRegistration(nullptr, 30000);
    ASSERT_NE(view, nullptr) << "the runner never registered";
    DWORD owner = 0;
    GetWindowThreadProcessId(view, &owner);
    EXPECT_EQ(owner, GetProcessId(runner)) << "the registered window is not the runner's";
    PostMessageA(GetAncestor(view, GA_ROOT), WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(runner, 30000), WAIT_OBJECT_0);
    EXPECT_EQ(PFW_GetGlobalEdictorHwnd(), nullptr) << "the runner left its registration behind";
  }
}

}  // namespace
