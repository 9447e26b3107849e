// dialog_script.h - acts on the windows that a modal loop of this thread opens, the way a
// user would answer them, from a timer that ticks inside those loops.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Steps run in turn: each waits for a visible, enabled dialog of this thread with its
// caption ("#32768" names a popup menu by its class), then acts on it once; the action may
// open the next dialog. A step not reached within the time allowed fails the test naming
// the step and its caption, and then every dialog and menu of the thread is cancelled, so
// the call that opened them returns instead of hanging.
class DialogScript {
 public:
  using Action = std::function<void(HWND window)>;
  using Ready = std::function<bool(HWND window)>;

  explicit DialogScript(DWORD stepTimeoutMs = 15000) : timeout_(stepTimeoutMs) {}
  ~DialogScript();
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  DialogScript& Then(const char* caption, Action action);
  // The same, for the first such window for which `ready` holds, once it holds.
  DialogScript& When(const char* caption, Ready ready, Action action);

  // Runs `trigger` (which opens the first dialog) with the steps armed; true when every
  // step ran.
  bool Run(const std::function<void()>& trigger);
  // Arms the steps for whatever modal loop the caller enters next; they stay armed until
  // the script is destroyed.
  DialogScript& Arm();
  bool Finished() const { return timedOut_.empty() && next_ == steps_.size(); }
  // The caption of the step that timed out ("" when none did).
  const std::string& timedOut() const { return timedOut_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  void Disarm();
  struct Step {
    std::string caption;
    Action action;
    Ready ready;
  };
  std::vector<Step> steps_;
  size_t next_ = 0;
  DWORD timeout_;
  DWORD stepStarted_ = 0;
  UINT_PTR timer_ = 0;
  std::string timedOut_;
  static DialogScript* active_;
};
