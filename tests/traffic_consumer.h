// traffic_consumer.h - a stand-in for the monitor's side of the traffic
// message: a hidden window that empties the mailbox on PFW_TRAFFIC_NOTIFY and
// counts the lamp messages; and a way to run a program with its standard input
// and output in files while the window keeps answering.
#ifndef TARNWALL_TRAFFIC_CONSUMER_H
#define TARNWALL_TRAFFIC_CONSUMER_H

#include <windows.h>

#include "tessary.h"

#include <functional>
#include <string>
#include <vector>

class TrafficConsumer {
 public:
  TrafficConsumer();
  ~TrafficConsumer();
  TrafficConsumer(const TrafficConsumer&) = delete;
  TrafficConsumer& operator=(const TrafficConsumer&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Handles this thread's messages until the process ends (true) or the time is
  // up (false), then whatever is still queued.
  bool pump_until(HANDLE process, DWORD timeout_ms);
  void pump_pending();

  std::vector<std::string> lines;  // texts taken from the mailbox, in order
  int traffic_messages = 0;        // PFW_TRAFFIC_NOTIFY messages
  int empty_messages = 0;          // ... that found nothing waiting
  int lamps[2] = {0, 0};           // PFW_ACTIVITY_NOTIFY: [0] left (lParam not 1), [1] right (lParam 1)
  // While false the window behaves as a monitor that is not ready yet: it
  // answers 0 and leaves the mailbox alone.
  bool ready = true;

  // A monitor's side of the prompt channel, one prompt at a time: on
  // PFW_PROMPT_NOTIFY it takes the next request and, unless prompt_answer is
  // kIgnore, answers it (answering every waiting request for the same
  // connection), then takes the next. With answer_when set, an answer waits
  // until answer_when says so; it is asked again whenever a message comes.
  static constexpr int kIgnore = -1;
  int prompt_answer = kIgnore;
  bool prompt_from_memory = false;  // answered as a monitor answers from memory
  std::function<bool(const TrafficConsumer&)> answer_when;
  // Requests in the channel that wait for an answer, the one taken included.
  int requests_unanswered() const;
  std::vector<PFW_PROMPT_REQUEST> prompts;  // requests taken, in order
  std::vector<int> answered;                // how many requests each answer reached
  int prompt_messages = 0;

 private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void take_prompt();
  void answer_if_due();
  void answer_prompt();
  PFW_PROMPT_BLOCK* channel_ = nullptr;
  bool prompt_open_ = false;
  HWND hwnd_ = nullptr;
  UINT message_ = 0;
};

struct ProgramRun {
  int exit_code = -1;  // -1: could not start; -2: did not end in time
  std::string out;     // standard output
  std::string err;     // standard error
};

// Runs command_line with input as its standard input; while it runs the
// consumer, if any, answers its messages.
ProgramRun run_program(const std::string& command_line, const std::string& input, TrafficConsumer* consumer,
                       DWORD timeout_ms = 120000);

// The directory of the running program, with a trailing backslash.
std::string program_directory();

#endif
