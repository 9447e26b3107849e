#include "remembered_answers.h"

#include <string.h>
#include <windows.h>

#include <algorithm>

namespace wayguard {

namespace {

// Kept small: each entry is one program's one connection, and a burst of new
// connections must not grow the monitor without bound. Past this the answer
// that expires first (or, among those held until the end, the oldest) goes.
constexpr size_t kMostHeld = 256;

const char* const kLifeTexts[kAnswerLifeCount] = {"This connection only", "For 15 minutes", "Until Wayguard ends"};

std::string ProgramOf(const PFW_PROMPT_REQUEST& r) {
  return std::string(r.program, strnlen(r.program, sizeof r.program));
}

}  // namespace

const char* AnswerLifeText(AnswerLife life) {
  int i = static_cast<int>(life);
  return i >= 0 && i < kAnswerLifeCount ? kLifeTexts[i] : kLifeTexts[0];
}

AnswerLife AnswerLifeOfIndex(long index) {
  return index >= 0 && index < kAnswerLifeCount ? static_cast<AnswerLife>(index) : AnswerLife::kThisConnection;
}

bool LifeChoiceOffered(bool locked) { return !locked; }

RememberedAnswers::RememberedAnswers(Clock clock) : clock_(std::move(clock)) {}
RememberedAnswers::RememberedAnswers() : clock_([] { return static_cast<uint64_t>(GetTickCount64()); }) {}

bool RememberedAnswers::Same(const Held& h, const PFW_PROMPT_REQUEST& r) {
  return h.direction == r.direction && h.transport == r.transport && h.port == r.port && h.address == r.address &&
         h.program == ProgramOf(r);
}

void RememberedAnswers::ForgetExpired() {
  uint64_t now = clock_();
  answers_.erase(
      std::remove_if(answers_.begin(), answers_.end(), [now](const Held& h) { return !h.forever && h.expires <= now; }),
      answers_.end());
}

bool RememberedAnswers::Remember(const PFW_PROMPT_REQUEST& r, int answer, AnswerLife life) {
  if (answer != PFW_ALLOW && answer != PFW_DENY) return false;
  if (life != AnswerLife::kFifteenMinutes && life != AnswerLife::kUntilWayguardEnds) return false;
  ForgetExpired();
  answers_.erase(std::remove_if(answers_.begin(), answers_.end(), [&](const Held& h) { return Same(h, r); }),
                 answers_.end());
  if (answers_.size() >= kMostHeld) {
    // The one to go: the first to expire, then the oldest held until the end.
    auto first = std::min_element(answers_.begin(), answers_.end(), [](const Held& a, const Held& b) {
      if (a.forever != b.forever) return !a.forever;
      return !a.forever && a.expires < b.expires;
    });
    answers_.erase(first);
  }
  Held h{r.direction,
         r.transport,
         r.port,
         r.address,
         ProgramOf(r),
         answer,
         life == AnswerLife::kUntilWayguardEnds,
         clock_() + kFifteenMinutesMs};
  answers_.push_back(std::move(h));
  return true;
}

std::optional<int> RememberedAnswers::Recall(const PFW_PROMPT_REQUEST& r) {
  ForgetExpired();
  for (const Held& h : answers_)
    if (Same(h, r)) return h.answer;
  return std::nullopt;
}

}  // namespace wayguard
