// Remembered answers without a window or a monitor: which later requests an
// answer covers, and when it stops, driven by a clock of the test's own.
#include <gtest/gtest.h>
#include <string.h>

#include "prompt.h"
#include "remembered_answers.h"

namespace wayguard {
namespace {

PFW_PROMPT_REQUEST Request(const char* program, int direction = PFW_OUTBOUND, int transport = PFW_TCP,
                           uint32_t port = 80, uint32_t address = 0x0501A8C0) {
  PFW_PROMPT_REQUEST r;
  memset(&r, 0, sizeof r);
  strncpy(r.program, program, sizeof r.program - 1);
  r.direction = direction;
  r.transport = transport;
  r.port = port;
  r.address = address;
  return r;
}

struct Memory : ::testing::Test {
  uint64_t now = 1000;
  RememberedAnswers answers{[this] { return now; }};
};

TEST_F(Memory, AnAnswerCoversOnlyItsOwnConnection) {
  ASSERT_TRUE(answers.Remember(Request("BROWSER.EXE"), PFW_ALLOW, AnswerLife::kFifteenMinutes));
  EXPECT_EQ(answers.Recall(Request("BROWSER.EXE")), PFW_ALLOW);
  // Each part of the connection counts: program (case and all), direction, transport, port, address.
  EXPECT_FALSE(answers.Recall(Request("browser.exe")));
  EXPECT_FALSE(answers.Recall(Request("BROWSER.EXE", PFW_INBOUND)));
  EXPECT_FALSE(answers.Recall(Request("BROWSER.EXE", PFW_OUTBOUND, PFW_UDP)));
  EXPECT_FALSE(answers.Recall(Request("BROWSER.EXE", PFW_OUTBOUND, PFW_TCP, 443)));
  EXPECT_FALSE(answers.Recall(Request("BROWSER.EXE", PFW_OUTBOUND, PFW_TCP, 80, 0x0601A8C0)));
}

TEST_F(Memory, FifteenMinutesEndsToTheMillisecondAndIsForgotten) {
  answers.Remember(Request("MAIL.EXE"), PFW_DENY, AnswerLife::kFifteenMinutes);
  now += kFifteenMinutesMs - 1;
  EXPECT_EQ(answers.Recall(Request("MAIL.EXE")), PFW_DENY);
  now += 1;
  EXPECT_FALSE(answers.Recall(Request("MAIL.EXE")));
  EXPECT_EQ(answers.size(), 0u);
}

TEST_F(Memory, UntilTheMonitorEndsOutlivesAnyTime) {
  answers.Remember(Request("MAIL.EXE"), PFW_ALLOW, AnswerLife::kUntilWayguardEnds);
  now += 1000 * kFifteenMinutesMs;
  EXPECT_EQ(answers.Recall(Request("MAIL.EXE")), PFW_ALLOW);
  // A new monitor remembers nothing: the memory is the monitor's own.
  RememberedAnswers next{[this] { return now; }};
  EXPECT_FALSE(next.Recall(Request("MAIL.EXE")));
}

TEST_F(Memory, ThisConnectionOnlyAndOddAnswersHoldNothing) {
  EXPECT_FALSE(answers.Remember(Request("A.EXE"), PFW_ALLOW, AnswerLife::kThisConnection));
  EXPECT_FALSE(answers.Remember(Request("A.EXE"), PFW_ASK, AnswerLife::kFifteenMinutes));
  EXPECT_FALSE(answers.Remember(Request("A.EXE"), 7, AnswerLife::kUntilWayguardEnds));
  EXPECT_FALSE(answers.Recall(Request("A.EXE")));
  EXPECT_EQ(answers.size(), 0u);
}

TEST_F(Memory, ANewerAnswerReplacesTheOlder) {
  answers.Remember(Request("A.EXE"), PFW_ALLOW, AnswerLife::kUntilWayguardEnds);
  now += 10;
  answers.Remember(Request("A.EXE"), PFW_DENY, AnswerLife::kFifteenMinutes);
  EXPECT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers.Recall(Request("A.EXE")), PFW_DENY);
  now += kFifteenMinutesMs;
  EXPECT_FALSE(answers.Recall(Request("A.EXE")));  // the replaced "until the end" does not come back
}

TEST_F(Memory, AFloodOfConnectionsStaysBoundedAndDropsTheFirstToExpire) {
  answers.Remember(Request("KEEP.EXE"), PFW_ALLOW, AnswerLife::kUntilWayguardEnds);
  answers.Remember(Request("SOON.EXE"), PFW_ALLOW, AnswerLife::kFifteenMinutes);
  for (uint32_t port = 1; port <= 1000; port++) {
    now += 1;
    answers.Remember(Request("FLOOD.EXE", PFW_OUTBOUND, PFW_TCP, port), PFW_DENY, AnswerLife::kFifteenMinutes);
  }
  EXPECT_LE(answers.size(), 256u);
  EXPECT_EQ(answers.Recall(Request("KEEP.EXE")), PFW_ALLOW);
  EXPECT_FALSE(answers.Recall(Request("SOON.EXE")));
  EXPECT_EQ(answers.Recall(Request("FLOOD.EXE", PFW_OUTBOUND, PFW_TCP, 1000)), PFW_DENY);
}

// Only Filter mode asks; a request left from before a change to Block mode is
// never let through by a remembered Allow.
TEST_F(Memory, OnlyFilterModeAnswersFromMemory) {
  answers.Remember(Request("A.EXE"), PFW_ALLOW, AnswerLife::kUntilWayguardEnds);
  EXPECT_EQ(AnswerFromMemory(answers, Request("A.EXE"), PFW_MODE_FILTER), PFW_ALLOW);
  EXPECT_FALSE(AnswerFromMemory(answers, Request("A.EXE"), PFW_MODE_BLOCK));
  EXPECT_FALSE(AnswerFromMemory(answers, Request("A.EXE"), PFW_MODE_STANDBY));
  EXPECT_FALSE(AnswerFromMemory(answers, Request("B.EXE"), PFW_MODE_FILTER));
}

TEST(AnswerLifeChoice, TextsIndicesAndTheLock) {
  EXPECT_STREQ(AnswerLifeText(AnswerLife::kThisConnection), "This connection only");
  EXPECT_STREQ(AnswerLifeText(AnswerLife::kFifteenMinutes), "For 15 minutes");
  EXPECT_STREQ(AnswerLifeText(AnswerLife::kUntilWayguardEnds), "Until Wayguard ends");
  EXPECT_EQ(AnswerLifeOfIndex(1), AnswerLife::kFifteenMinutes);
  EXPECT_EQ(AnswerLifeOfIndex(-1), AnswerLife::kThisConnection);  // CB_ERR: nothing chosen
  EXPECT_EQ(AnswerLifeOfIndex(3), AnswerLife::kThisConnection);
  EXPECT_TRUE(LifeChoiceOffered(false));
  EXPECT_FALSE(LifeChoiceOffered(true));
}

}  // namespace
}  // namespace wayguard
