#include "traffic_consumer.h"

#include <stdio.h>
#include <string.h>

#include "tessary.h"

namespace {

const char kClass[] = "TarnwallTrafficConsumer";

std::string temp_file(const char* tag) {
  char dir[MAX_PATH], path[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  GetTempFileNameA(dir, tag, 0, path);
  return path;
}

HANDLE inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

std::string read_all(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return text;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  fclose(f);
  return text;
}

}  // namespace

TrafficConsumer::TrafficConsumer() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassA(&wc);  // fails harmlessly when a consumer registered it before
  message_ = RegisterWindowMessageA(PFW_PRIVATE_MESSAGE_NAME);
  // A hidden top-level window, as the monitor's is while it sits in the notification area.
  hwnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, kClass, "traffic consumer", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                          wc.hInstance, nullptr);
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, (LONG_PTR)this);
  channel_ = PFW_OpenPromptChannel();
}

TrafficConsumer::~TrafficConsumer() {
  if (hwnd_) DestroyWindow(hwnd_);
  if (channel_) PFW_ClosePromptChannel(channel_);
}

void TrafficConsumer::take_prompt() {
  if (prompt_open_ || prompt_answer == kIgnore) return;
  PFW_PROMPT_REQUEST r;
  if (!PFW_TakePromptRequest(channel_, &r)) return;
  prompts.push_back(r);
  prompt_open_ = true;
  answer_if_due();
}

int TrafficConsumer::requests_unanswered() const {
  int n = 0;
  if (channel_)
    for (const PFW_PROMPT_REQUEST& r : channel_->slots)
      n += r.state == PFW_PROMPT_WAITING || r.state == PFW_PROMPT_SHOWN;
  return n;
}

void TrafficConsumer::answer_if_due() {
  if (prompt_open_ && (!answer_when || answer_when(*this))) answer_prompt();
}

void TrafficConsumer::answer_prompt() {
  uint32_t id = prompts.back().id;
  answered.push_back(prompt_from_memory ? PFW_AnswerPromptFromMemory(channel_, id, prompt_answer)
                                        : PFW_AnswerPrompt(channel_, id, prompt_answer));
  prompt_open_ = false;
  take_prompt();
}

LRESULT CALLBACK TrafficConsumer::procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  TrafficConsumer* self = (TrafficConsumer*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
  if (self && message == self->message_ && self->ready) {
    if (wparam == PFW_TRAFFIC_NOTIFY) {
      self->traffic_messages++;
      PFW_TRAFFIC record;
      if (PFW_GetGlobalTraffic(&record))
        self->lines.emplace_back(record.text, strnlen(record.text, sizeof record.text));
      else
        self->empty_messages++;
      self->answer_if_due();
      return 1;
    }
    if (wparam == PFW_ACTIVITY_NOTIFY) {
      self->lamps[lparam == 1 ? 1 : 0]++;
      return 1;
    }
    if (wparam == PFW_PROMPT_NOTIFY) {
      self->prompt_messages++;
      self->take_prompt();
      self->answer_if_due();
      return 1;
    }
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

void TrafficConsumer::pump_pending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

namespace {

// Waits for the process on its own thread and then wakes the consumer's
// thread, so that thread can sit in GetMessage as a monitor's does.
struct Watch {
  HANDLE process;
  DWORD timeout_ms;
  DWORD consumer_thread;
  bool ended = false;
};

const UINT kWatchDone = WM_APP + 0x71;

DWORD WINAPI watch(void* arg) {
  Watch* w = (Watch*)arg;
  w->ended = WaitForSingleObject(w->process, w->timeout_ms) == WAIT_OBJECT_0;
  while (!PostThreadMessageA(w->consumer_thread, kWatchDone, 0, 0)) Sleep(1);
  return 0;
}

}  // namespace

bool TrafficConsumer::pump_until(HANDLE process, DWORD timeout_ms) {
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // this thread has a queue before the watcher posts
  Watch w{process, timeout_ms, GetCurrentThreadId()};
  HANDLE watcher = CreateThread(nullptr, 0, watch, &w, 0, nullptr);
  if (!watcher) return false;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == kWatchDone) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  WaitForSingleObject(watcher, INFINITE);
  CloseHandle(watcher);
  pump_pending();
  return w.ended;
}

std::string program_directory() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path, n);
  size_t slash = dir.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
}

ProgramRun run_program(const std::string& command_line, const std::string& input, TrafficConsumer* consumer,
                       DWORD timeout_ms) {
  ProgramRun run;
  std::string in_path = temp_file("tin"), out_path = temp_file("tou"), err_path = temp_file("ter");
  FILE* f = fopen(in_path.c_str(), "wb");
  if (f) {
    fwrite(input.data(), 1, input.size(), f);
    fclose(f);
  }
  HANDLE in = inheritable(in_path, GENERIC_READ, OPEN_EXISTING);
  HANDLE out = inheritable(out_path, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = inheritable(err_path, GENERIC_WRITE, CREATE_ALWAYS);

  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi = {};
  std::string cmd = command_line;
  if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    bool ended = consumer ? consumer->pump_until(pi.hProcess, timeout_ms)
                          : WaitForSingleObject(pi.hProcess, timeout_ms) == WAIT_OBJECT_0;
    if (ended) {
      DWORD code = 0;
      GetExitCodeProcess(pi.hProcess, &code);
      run.exit_code = (int)code;
    } else {
      TerminateProcess(pi.hProcess, 99);
      WaitForSingleObject(pi.hProcess, 5000);
      run.exit_code = -2;
    }
    CloseHandle(pi.hProcess);
  }
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  run.out = read_all(out_path);
  run.err = read_all(err_path);
  DeleteFileA(in_path.c_str());
  DeleteFileA(out_path.c_str());
  DeleteFileA(err_path.c_str());
  return run;
}
