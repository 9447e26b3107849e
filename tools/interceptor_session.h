// interceptor_session.h - the stand-in interceptor at work: it holds the four
// lists and the global state block, decides each attempt, and tells the
// monitor.
//
// What the monitor is told, and when, is the courier's (interceptor_courier.h).
#ifndef TARNWALL_INTERCEPTOR_SESSION_H
#define TARNWALL_INTERCEPTOR_SESSION_H

#include <optional>
#include <string>

#include "interceptor_asker.h"
#include "interceptor_courier.h"
#include "interceptor_explain.h"
#include "list_set.h"

namespace interceptor {

struct Outcome {
  int run_mode = 0;
  int rule_key = -1;  // -1: no rule governs
  PFW_RULE rule = {};
  Decision decision;
  // The rule's direction and its protocol, address and application names, as
  // the user can find it again: "out HTTP, Any Address, IEXPLORE.EXE".
  std::string rule_names;
  // The program name was looked up in capitals: as given it found no rule
  // naming an application, in capitals it did.
  bool in_capitals = false;
  bool names_application = false;  // the governing rule is for one application, not any
  std::string line;                // the traffic line, also when it was not sent
  Delivery delivery = Delivery::kNotLogged;
  bool lamp = false;  // a lamp message was posted (lamps are throttled)
};

class Session {
 public:
  // Joins the four lists, initialises the global state block and loads the
  // lists from the registry (a filled list loads nothing). False when a list
  // cannot be had, with error saying so.
  // answer_ms: see Courier. ask_ms: how long an asked attempt waits for the user.
  bool open(std::string& error, DWORD answer_ms = Courier::kDefaultAnswerMs, DWORD ask_ms = Asker::kDefaultTimeoutMs);
  // Lets go of the four lists.
  void close();
  ~Session() { close(); }
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // decide(), ask() and wait for the answer when the decision says so, then deliver().
  Outcome handle(const Attempt& attempt);
  // The rule lookup, the run mode and switches as they are now, and the line.
  // A program name that finds only a rule for any application is looked up
  // again in capitals, the form the editor stores names in; a rule naming the
  // application found that way governs.
  // Touches nothing deliver() does, so one thread may decide the next attempt
  // while another delivers the one before.
  Outcome decide(const Attempt& attempt) const;
  // When the decision is to ask: puts the question to the monitor. False when
  // nobody can be asked; the outcome then stands as it is (ask:deny).
  bool ask(const Attempt& attempt, Asker::Question& question) const;
  // The outcome once the answer is in (PFW_ALLOW, PFW_DENY or kNoAnswer).
  void answer(const Attempt& attempt, Outcome& outcome, int answer) const;
  Asker& asker() { return *asker_; }
  // The lamp and, when the decision says so, the traffic line. Only one
  // thread at a time, in the attempts' order.
  void deliver(Outcome& outcome);
  // Waits until the monitor has taken the last line sent (see Courier::settle).
  bool settle() { return courier_ ? courier_->settle() : true; }
  // Lines the monitor did not take and that were taken back, so far.
  int taken_back() const { return courier_ ? courier_->taken_back() : 0; }
  // "out TCP/80 10.0.0.1 FTP.EXE -> deny [no rule] mode=filter rule=none; log: not logged"
  static std::string summary(const Attempt& attempt, const Outcome& outcome);
  // The attempt as it was looked up: the program name in capitals when that form matched.
  static Attempt looked_up(const Attempt& attempt, const Outcome& outcome);
  // For --explain: "  program name: ...", which form of the name matched.
  static std::string program_form(const Attempt& attempt, const Outcome& outcome);

  const Roots& roots() const { return roots_; }
  // "out HTTP, Any Address, IEXPLORE.EXE": the rule's direction and entries by name.
  // Looks the three entries up (three holds); a decision names its rule from the
  // copies its lookup made instead (names_from).
  std::string names_of(const PFW_RULE& rule) const;
  // The same from entries already copied; null for an entry that is gone.
  static std::string names_from(const PFW_RULE& rule, const PFW_PROTO* protocol, const PFW_ADR* address,
                                const PFW_APP* app);
  // The rule set, one line per rule in key order: "rule 2: out HTTP, ... -> allow, logged".
  std::string rule_set() const;

 private:
  struct Found {
    bool found = false;
    int key = -1;
    PFW_RULE rule = {};
    PFW_RULE_ENTRIES entries = {};  // the rule's entries as the lookup saw them
  };
  Found lookup(const Attempt& attempt, const std::string& program) const;
  bool names_an_application(const Found& f) const;

  std::optional<tessary::ListSet> lists_;
  Roots roots_;  // lists_'s four roots, as the lookups take them
  std::optional<Courier> courier_;
  mutable std::optional<Asker> asker_;  // asking from deciding threads changes no state of the session
};

}  // namespace interceptor

#endif
