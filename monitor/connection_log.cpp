#include "connection_log.h"

#include <windows.h>
#include <string.h>

namespace wayguard {

std::string TrafficText(const PFW_TRAFFIC& record) {
  size_t length = strnlen(record.text, PFW_TRAFFIC_SIZE - 1);
  return std::string(record.text, length);
}

std::string InTextMode(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

bool AppendToLog(const char* path, const std::string& text) {
  if (!path || !*path) return false;
  // Append-only access puts every write at the end as it is then, so a line never lands
  // inside another writer's, and no seek is needed.
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string bytes = InTextMode(text);
  bool ok = true;
  DWORD written = 0;
  if (ok && !bytes.empty())
    ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(file);
  return ok;
}

}  // namespace wayguard

namespace wayguard {

LogWriter::LogWriter() : thread_([this] { Run(); }) {}

LogWriter::~LogWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void LogWriter::Append(const char* path, std::string text) {
  std::unique_lock<std::mutex> lock(mutex_);
  queue_.push_back(Line{path ? path : "", std::move(text), GetTickCount()});
  wake_.notify_one();
  // Each line written moves the oldest on; only that can bring the backlog under the bound.
  done_.wait(lock, [this] { return BacklogLocked() <= kMaxBacklogMs; });
}

unsigned LogWriter::BacklogLocked() const {
  DWORD now = GetTickCount();
  if (busy_) return now - writingTaken_;
  return queue_.empty() ? 0 : now - queue_.front().taken;
}

unsigned LogWriter::BacklogMs() {
  std::lock_guard<std::mutex> lock(mutex_);
  return BacklogLocked();
}

void LogWriter::Flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void LogWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and nothing left to write
    Line line = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    writingTaken_ = line.taken;
    lock.unlock();
    AppendToLog(line.path.c_str(), line.text);  // a line that cannot be written is dropped
    lock.lock();
    busy_ = false;
    done_.notify_all();
  }
}

}  // namespace wayguard
