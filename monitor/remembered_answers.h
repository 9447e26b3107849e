// Remembered answers: the prompt's middle way between answering one connection
// and adding a rule for ever. An answer given "For 15 minutes" or "Until Wayguard
// ends" answers later requests for the same program, direction, protocol and
// address without a prompt until it expires. The monitor holds them in memory
// only: nothing reaches the registry, and a new monitor starts with none.
//
// Plain code with a clock seam, so that expiry is tested without waiting.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tessary.h"

namespace wayguard {

// How long the prompt's answer holds, in the order of its drop-down list.
enum class AnswerLife { kThisConnection = 0, kFifteenMinutes = 1, kUntilWayguardEnds = 2 };
constexpr int kAnswerLifeCount = 3;
// The drop-down list's texts, indexed by AnswerLife.
const char* AnswerLifeText(AnswerLife life);
// The life a drop-down selection stands for; anything unknown answers this connection only.
AnswerLife AnswerLifeOfIndex(long index);
constexpr uint64_t kFifteenMinutesMs = 15ull * 60 * 1000;

// What may be offered: locked, the monitor keeps what it remembers but takes on
// nothing new, so only "this connection" is offered.
bool LifeChoiceOffered(bool locked);

class RememberedAnswers {
 public:
  using Clock = std::function<uint64_t()>;  // milliseconds, never going back
  explicit RememberedAnswers(Clock clock);
  RememberedAnswers();  // the system's tick count

  // Holds answer (PFW_ALLOW or PFW_DENY) for the request's connection as long
  // as life says; "this connection" holds nothing. A newer answer for the same
  // connection replaces the older one. Refused (false) for any other answer.
  bool Remember(const PFW_PROMPT_REQUEST& request, int answer, AnswerLife life);
  // The answer that still holds for this connection, if any; expired answers
  // are forgotten on the way.
  std::optional<int> Recall(const PFW_PROMPT_REQUEST& request);
  size_t size() const { return answers_.size(); }
  void Clear() { answers_.clear(); }

 private:
  struct Held {
    int32_t direction, transport;
    uint32_t port, address;
    std::string program;
    int answer;
    bool forever;      // until the monitor ends
    uint64_t expires;  // clock time, when not forever
  };
  static bool Same(const Held& held, const PFW_PROMPT_REQUEST& request);
  void ForgetExpired();
  Clock clock_;
  std::vector<Held> answers_;
};

}  // namespace wayguard
