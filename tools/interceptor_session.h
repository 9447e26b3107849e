// interceptor_session.h - the stand-in interceptor at work: it holds the four
// lists and the global state block, decides each attempt, and tells the
// monitor.
//
// Telling the monitor, only while a monitor window is recorded and exists:
//   - a lamp for every attempt: PFW_ACTIVITY_NOTIFY, posted, lParam 1 (the
//     right-hand lamp, under the Block button) for a connection stopped, 0 (the
//     left-hand lamp, under the Stand By button) for one let through;
//   - a traffic line when the decision says to log: the line is deposited with
//     PFW_SetGlobalTraffic and PFW_TRAFFIC_NOTIFY is sent, so the monitor has
//     taken it by the time the send returns.
// Without a monitor nothing is deposited: nobody would empty the mailbox, and
// the next deposit, ours or another producer's, would wait for ever. If the
// monitor does not answer 1 (it vanished, or was not ready yet) the interceptor
// takes its own line back, for the same reason, and reports it dropped.
#ifndef TARNWALL_INTERCEPTOR_SESSION_H
#define TARNWALL_INTERCEPTOR_SESSION_H

#include <string>

#include "interceptor_explain.h"

namespace interceptor {

enum class Delivery {
  kNotLogged,    // the decision says no line
  kNoMonitor,    // a line was due, but no monitor window is recorded or it is gone
  kSent,         // the monitor took the line
  kDropped,      // the monitor did not take it; the line was taken back
};

const char* delivery_word(Delivery d);

struct Outcome {
  int run_mode = 0;
  int rule_key = -1;  // -1: no rule governs
  PFW_RULE rule = {};
  Decision decision;
  std::string line;   // the traffic line, also when it was not sent
  Delivery delivery = Delivery::kNotLogged;
  bool lamp = false;  // a lamp message was posted
};

class Session {
 public:
  // Joins the four lists, initialises the global state block and loads the
  // lists from the registry (a filled list loads nothing). False when a list
  // cannot be had, with error saying so.
  bool open(std::string& error);
  // Lets go of the four lists.
  void close();
  ~Session() { close(); }

  Outcome handle(const Attempt& attempt);
  // "out TCP/80 10.0.0.1 FTP.EXE -> deny [no rule] mode=filter rule=none; log: not logged"
  static std::string summary(const Attempt& attempt, const Outcome& outcome);

  const Roots& roots() const { return roots_; }

 private:
  Delivery deliver(HWND monitor, const std::string& line);

  Roots roots_;
  UINT message_ = 0;
};

}  // namespace interceptor

#endif
