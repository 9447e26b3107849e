#include "dialog_script.h"

#include <gtest/gtest.h>

#include <string.h>

DialogScript* DialogScript::active_ = nullptr;

namespace {

bool IsMenuCaption(const std::string& caption) { return caption == "#32768"; }

struct Search {
  const std::string* caption;
  const DialogScript::Ready* ready;
  HWND found;
};

BOOL CALLBACK FindStepWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(hwnd)) return TRUE;
  char cls[64] = "", text[512] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  if (IsMenuCaption(*search->caption)) {
    if (strcmp(cls, "#32768") != 0) return TRUE;
  } else {
    // A dialog disabled by a modal child of its own is not the one a user can answer.
    if (strcmp(cls, "#32770") != 0 || !IsWindowEnabled(hwnd)) return TRUE;
    GetWindowTextA(hwnd, text, sizeof text);
    if (*search->caption != text) return TRUE;
  }
  if (*search->ready && !(*search->ready)(hwnd)) return TRUE;
  search->found = hwnd;
  return FALSE;
}

BOOL CALLBACK CancelModal(HWND hwnd, LPARAM) {
  char cls[64] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  if (strcmp(cls, "#32768") == 0) EndMenu();
  if (strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)) PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

}  // namespace

DialogScript::~DialogScript() { Disarm(); }

DialogScript& DialogScript::Then(const char* caption, Action action) {
  steps_.push_back({caption, std::move(action), nullptr});
  return *this;
}

DialogScript& DialogScript::When(const char* caption, Ready ready, Action action) {
  steps_.push_back({caption, std::move(action), std::move(ready)});
  return *this;
}

DialogScript& DialogScript::Arm() {
  Disarm();
  active_ = this;
  stepStarted_ = GetTickCount();
  timedOut_.clear();
  timer_ = SetTimer(nullptr, 0, 25, Tick);
  return *this;
}

void DialogScript::Disarm() {
  if (timer_) KillTimer(nullptr, timer_);
  timer_ = 0;
  if (active_ == this) active_ = nullptr;
}

bool DialogScript::Run(const std::function<void()>& trigger) {
  Arm();
  trigger();
  Disarm();
  return Finished();
}

void CALLBACK DialogScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
  DialogScript* script = active_;
  if (!script) return;
  if (!script->timedOut_.empty()) {
    // Until the trigger returns, whatever opens is closed again.
    EnumThreadWindows(GetCurrentThreadId(), CancelModal, 0);
    return;
  }
  if (script->next_ >= script->steps_.size()) return;
  const Step& step = script->steps_[script->next_];
  Search search{&step.caption, &step.ready, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindStepWindow, reinterpret_cast<LPARAM>(&search));
  if (!search.found) {
    if (GetTickCount() - script->stepStarted_ < script->timeout_) return;
    script->timedOut_ = step.caption;
    ADD_FAILURE() << "step " << script->next_ + 1 << " waited " << script->timeout_ << " ms for a window \""
                  << step.caption << "\" that never came";
    EnumThreadWindows(GetCurrentThreadId(), CancelModal, 0);
    return;
  }
  // Taken before it acts: the action may open a modal loop in which this timer ticks again.
  Action action = script->steps_[script->next_++].action;
  action(search.found);
  script->stepStarted_ = GetTickCount();
}
