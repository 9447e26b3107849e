// The prompt channel: requests, answers, and what is left when an asker or a
// monitor ends without finishing.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "store_fixture.h"

namespace {

class PromptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    channel = PFW_OpenPromptChannel();
    ASSERT_NE(channel, nullptr);
    // Each test starts from an empty channel: nothing else holds it.
    for (const PFW_PROMPT_REQUEST& r : channel->slots) ASSERT_EQ(r.state, PFW_PROMPT_FREE);
  }
  void TearDown() override {
    for (HANDLE h : helpers) {
      TerminateProcess(h, 9);
      WaitForSingleObject(h, 10000);
      CloseHandle(h);
    }
    // Whatever a test left is withdrawn, so the next starts empty.
    for (PFW_PROMPT_REQUEST& r : channel->slots)
      if (r.state != PFW_PROMPT_FREE) PFW_WaitPromptAnswer(channel, r.id, 0, nullptr);
    PFW_ClosePromptChannel(channel);
  }

  static PFW_PROMPT_REQUEST question(const char* program, unsigned port = 80, const char* address = "10.0.0.1") {
    PFW_PROMPT_REQUEST q = {};
    strncpy(q.program, program, sizeof q.program - 1);
    strcpy(q.protocol_name, "HTTP");
    q.direction = PFW_OUTBOUND;
    q.transport = PFW_TCP;
    q.port = port;
    q.address = (uint32_t)ip(address);
    return q;
  }
  uint32_t ask(const PFW_PROMPT_REQUEST& q, unsigned timeout_ms = 60000) {
    uint32_t id = 0;
    EXPECT_EQ(PFW_AskPrompt(channel, &q, timeout_ms, &id, nullptr), 1);
    return id;
  }
  // Waits until a request from another process is in the channel.
  bool request_from_other_process(int state) {
    // A program's first start under Wine can take seconds.
    for (int i = 0; i < 3000; i++) {
      for (const PFW_PROMPT_REQUEST& r : channel->slots)
        if (r.state == state && r.asker_pid != GetCurrentProcessId()) return true;
      for (const PFW_PROMPT_REQUEST& r : channel->slots)
        if (r.state == state && r.taker_pid && r.taker_pid != GetCurrentProcessId()) return true;
      Sleep(10);
    }
    return false;
  }
  void kill_helpers() {
    for (HANDLE h : helpers) {
      TerminateProcess(h, 9);
      WaitForSingleObject(h, 10000);
      CloseHandle(h);
    }
    helpers.clear();
  }

  PFW_PROMPT_BLOCK* channel = nullptr;
  std::vector<HANDLE> helpers;
};

TEST_F(PromptTest, ARequestIsTakenOnceAndItsAnswerReachesEveryRequestForTheSameConnection) {
  uint32_t first = ask(question("NEW.EXE"));
  uint32_t same = ask(question("NEW.EXE"));
  uint32_t other_program = ask(question("OTHER.EXE"));
  uint32_t other_port = ask(question("NEW.EXE", 81));
  uint32_t other_address = ask(question("NEW.EXE", 80, "10.0.0.2"));

  PFW_PROMPT_REQUEST taken;
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  EXPECT_EQ(taken.id, first) << "the oldest first";
  EXPECT_STREQ(taken.program, "NEW.EXE");
  EXPECT_STREQ(taken.protocol_name, "HTTP");
  EXPECT_EQ(taken.port, 80u);
  EXPECT_EQ(taken.address, (uint32_t)ip("10.0.0.1"));
  EXPECT_EQ(taken.asker_pid, GetCurrentProcessId());
  EXPECT_EQ(taken.state, PFW_PROMPT_SHOWN);

  EXPECT_EQ(PFW_AnswerPrompt(channel, first, 7), 0) << "only allow or deny";
  EXPECT_EQ(PFW_AnswerPrompt(channel, first, PFW_DENY), 2);
  EXPECT_EQ(PFW_AnswerPrompt(channel, first, PFW_ALLOW), 0) << "answered once";
  int answer = -1;
  EXPECT_EQ(PFW_WaitPromptAnswer(channel, same, 0, &answer), 1);
  EXPECT_EQ(answer, PFW_DENY);
  EXPECT_EQ(PFW_WaitPromptAnswer(channel, first, 0, &answer), 1);
  for (uint32_t id : {other_program, other_port, other_address}) EXPECT_EQ(PFW_PromptIsWaiting(channel, id), 1);

  // The next takes go on in order; a request withdrawn meanwhile is not offered.
  EXPECT_EQ(PFW_WaitPromptAnswer(channel, other_program, 0, &answer), 0);
  EXPECT_EQ(PFW_PromptIsWaiting(channel, other_program), 0);
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  EXPECT_EQ(taken.id, other_port);
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  EXPECT_EQ(taken.id, other_address);
  EXPECT_EQ(PFW_TakePromptRequest(channel, &taken), 0);
  EXPECT_EQ(PFW_AnswerPrompt(channel, other_program, PFW_ALLOW), 0) << "its asker gave up";
}

TEST_F(PromptTest, TextsAreCutToTheirFieldsAndAnEmptyProgramIsRefused) {
  PFW_PROMPT_REQUEST q = question("X");
  memset(q.program, 'P', sizeof q.program);  // no terminator at all
  memset(q.protocol_name, 'H', sizeof q.protocol_name);
  ask(q);
  PFW_PROMPT_REQUEST taken;
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  EXPECT_EQ(std::string(taken.program), std::string(PFW_PROMPT_PROGRAM_SIZE - 1, 'P'));
  EXPECT_EQ(std::string(taken.protocol_name), std::string(PFW_PROMPT_PROTOCOL_SIZE - 1, 'H'));

  uint32_t id = 0;
  EXPECT_EQ(PFW_AskPrompt(channel, &(q = question("")), 1000, &id, nullptr), 0);
  EXPECT_EQ(PFW_AskPrompt(nullptr, &(q = question("A.EXE")), 1000, &id, nullptr), 0);
}

TEST_F(PromptTest, AFullChannelRefusesUntilASlotsAskerStopsWaiting) {
  for (int i = 0; i < PFW_PROMPT_SLOTS; i++) ask(question(("P" + std::to_string(i)).c_str()), i == 5 ? 1500 : 60000);
  uint32_t id = 0;
  PFW_PROMPT_REQUEST q = question("LATE.EXE");
  EXPECT_EQ(PFW_AskPrompt(channel, &q, 60000, &id, nullptr), 0) << "every slot waits";
  Sleep(1600);  // the sixth request's time is up
  EXPECT_EQ(PFW_AskPrompt(channel, &q, 60000, &id, nullptr), 1);
  EXPECT_EQ(PFW_PromptIsWaiting(channel, id), 1);
}

TEST_F(PromptTest, AnAskerThatIsGoneOrOutOfTimeLeavesNothingToAnswer) {
  uint32_t short_lived = ask(question("SOON.EXE"), 30);
  helpers.push_back(start_helper("prompt_helper.exe ask"));
  ASSERT_TRUE(request_from_other_process(PFW_PROMPT_WAITING));
  kill_helpers();
  Sleep(60);
  PFW_PROMPT_REQUEST taken;
  EXPECT_EQ(PFW_TakePromptRequest(channel, &taken), 0) << "offered: " << taken.program;
  EXPECT_EQ(PFW_PromptIsWaiting(channel, short_lived), 0);
  for (const PFW_PROMPT_REQUEST& r : channel->slots) EXPECT_EQ(r.state, PFW_PROMPT_FREE) << r.program;
}

TEST_F(PromptTest, ARequestShownByAMonitorThatEndedIsOfferedAgain) {
  uint32_t id = ask(question("NEW.EXE"));
  helpers.push_back(start_helper("prompt_helper.exe take"));
  ASSERT_TRUE(request_from_other_process(PFW_PROMPT_SHOWN));
  PFW_PROMPT_REQUEST taken;
  EXPECT_EQ(PFW_TakePromptRequest(channel, &taken), 0) << "a live monitor shows it";
  kill_helpers();
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  EXPECT_EQ(taken.id, id);
  EXPECT_EQ(taken.taker_pid, GetCurrentProcessId());
  // An answer wakes the asker through its event.
  HANDLE answered = nullptr;
  uint32_t second = 0;
  PFW_PROMPT_REQUEST q = question("SECOND.EXE");
  ASSERT_EQ(PFW_AskPrompt(channel, &q, 60000, &second, &answered), 1);
  EXPECT_EQ(WaitForSingleObject(answered, 0), (DWORD)WAIT_TIMEOUT);
  EXPECT_EQ(PFW_AnswerPrompt(channel, second, PFW_ALLOW), 1);
  EXPECT_EQ(WaitForSingleObject(answered, 0), (DWORD)WAIT_OBJECT_0);
  CloseHandle(answered);
  int answer = -1;
  EXPECT_EQ(PFW_WaitPromptAnswer(channel, second, 1000, &answer), 1);
  EXPECT_EQ(answer, PFW_ALLOW);
}

}  // namespace
