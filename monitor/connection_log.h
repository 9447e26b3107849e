// The connection log: the text of a traffic record, and its append to the log file.
#pragma once
#include <string>

#include "tessary.h"

namespace wayguard {

// The record's text up to its first NUL; a record with no NUL is cut at 199 characters,
// as the mailbox promises no more.
std::string TrafficText(const PFW_TRAFFIC& record);
// The bytes a text-mode write puts in the file: every line feed becomes CR LF.
std::string InTextMode(const std::string& text);
// Appends `text` (in text mode) to the file at `path`, created when missing and never
// truncated; opened shared and closed again, so others may read or remove the log between
// lines. False when the file cannot be opened or written; the caller drops the line.
bool AppendToLog(const char* path, const std::string& text);

}  // namespace wayguard

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace wayguard {

// Appends lines to the log on a thread of its own, in the order they are handed over, each
// still opened and closed for its own line. The window thread only takes the record out of
// the mailbox and hands its text over, so the next record can be deposited and taken while
// the file is written. Lines still waiting when the writer ends are written first.
//
// What a killed monitor can lose is bounded in time, not in lines: the window thread takes
// no further record while the oldest line not yet in the file was taken more than
// kMaxBacklogMs ago, so a kill loses only the lines of about the last 50 ms (a disk that
// stops writing altogether holds up the mailbox instead).
class LogWriter {
 public:
  static constexpr unsigned kMaxBacklogMs = 40;

  LogWriter();
  ~LogWriter();
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;

  // Queues `text` for the file named `path` (taken now: a later change of name applies to
  // later lines); returns once the oldest line not yet written is younger than the bound.
  void Append(const char* path, std::string text);
  // Returns once every line handed over so far has been written (or dropped).
  void Flush();
  // How long ago the oldest line not yet in the file was handed over; 0 when none waits.
  unsigned BacklogMs();

 private:
  void Run();
  unsigned BacklogLocked() const;
  struct Line {
    std::string path, text;
    DWORD taken;
  };
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::deque<Line> queue_;
  bool busy_ = false, stop_ = false;
  DWORD writingTaken_ = 0;  // when the line being written was handed over
  std::thread thread_;
};

}  // namespace wayguard
