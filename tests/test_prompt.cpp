// The prompt channel: requests, answers, and what is left when an asker or a
// monitor ends without finishing.
#include <gtest/gtest.h>
#include <string.h>

#include <set>
#include <string>
#include <thread>

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
    // Whatever a test left is withdrawn, so the next starts empty; what dead helpers
    // left is swept by a take.
    for (PFW_PROMPT_REQUEST& r : channel->slots)
      if (r.state != PFW_PROMPT_FREE) PFW_WaitPromptAnswer(channel, r.id, 0, nullptr);
    PFW_PROMPT_REQUEST r;
    while (PFW_TakePromptRequest(channel, &r)) PFW_AnswerPrompt(channel, r.id, PFW_DENY);
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

// An answer from the monitor's memory reaches every waiting request for the
// connection marked remembered; a user's answer is not, even in a slot that
// held a remembered one before.
TEST_F(PromptTest, AnAnswerFromMemoryIsMarkedForEachAskerItReaches) {
  uint32_t first = ask(question("NEW.EXE")), same = ask(question("NEW.EXE"));
  PFW_PROMPT_REQUEST taken;
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  EXPECT_EQ(PFW_AnswerPromptFromMemory(channel, first, 9), 0) << "only allow or deny";
  EXPECT_EQ(PFW_AnswerPromptFromMemory(channel, first, PFW_ALLOW), 2);
  int answer = -1, remembered = -1;
  EXPECT_EQ(PFW_WaitPromptAnswerFrom(channel, same, 0, &answer, &remembered), 1);
  EXPECT_EQ(answer, PFW_ALLOW);
  EXPECT_EQ(remembered, 1);
  EXPECT_EQ(PFW_WaitPromptAnswerFrom(channel, first, 0, &answer, &remembered), 1);
  EXPECT_EQ(remembered, 1);
  EXPECT_EQ(PFW_WaitPromptAnswerFrom(channel, first, 0, &answer, &remembered), 0) << "finished once";
  EXPECT_EQ(remembered, 0);

  uint32_t next = ask(question("NEW.EXE"));
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  EXPECT_EQ(PFW_AnswerPrompt(channel, next, PFW_DENY), 1);
  EXPECT_EQ(PFW_WaitPromptAnswerFrom(channel, next, 0, &answer, &remembered), 1);
  EXPECT_EQ(answer, PFW_DENY);
  EXPECT_EQ(remembered, 0);
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
  const DWORD kShortWait = 300;
  DWORD sixth_asked = 0;
  for (int i = 0; i < PFW_PROMPT_SLOTS; i++) {
    if (i == 5) sixth_asked = GetTickCount();
    ask(question(("P" + std::to_string(i)).c_str()), i == 5 ? kShortWait : 60000);
  }
  uint32_t id = 0;
  PFW_PROMPT_REQUEST q = question("LATE.EXE");
  EXPECT_EQ(PFW_AskPrompt(channel, &q, 60000, &id, nullptr), 0) << "every slot waits";
  // Refused for as long as the sixth asker waits, taken once its time is up.
  int taken = 0;
  while (!(taken = PFW_AskPrompt(channel, &q, 60000, &id, nullptr)) && GetTickCount() - sixth_asked < 20000) Sleep(5);
  ASSERT_EQ(taken, 1) << "no slot came free in 20 s";
  EXPECT_GE(GetTickCount() - sixth_asked, kShortWait - 20) << "a slot was taken while its asker still waited";
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

// What every holder leaves: valid states, committed slots with unique ids behind next_id,
// free slots empty. Read while nothing else holds the channel.
void expect_sound(const PFW_PROMPT_BLOCK* channel) {
  std::set<uint32_t> ids;
  for (const PFW_PROMPT_REQUEST& r : channel->slots) {
    EXPECT_TRUE(r.state >= PFW_PROMPT_FREE && r.state <= PFW_PROMPT_ANSWERED) << r.state;
    if (r.state == PFW_PROMPT_FREE) {
      PFW_PROMPT_REQUEST empty = {};
      EXPECT_EQ(memcmp(&r, &empty, sizeof r), 0) << "a free slot with leftovers: id " << r.id << " " << r.program;
      continue;
    }
    EXPECT_NE(r.id, 0u);
    EXPECT_TRUE(ids.insert(r.id).second) << "id " << r.id << " twice";
    EXPECT_LE((int32_t)(r.id - channel->next_id), 0) << "id " << r.id << " ahead of next_id " << channel->next_id;
  }
}

// A helper process that holds the channel until told to let go.
struct Holder {
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, "TarnwallTestHeld");
  HANDLE let_go = CreateEventA(nullptr, TRUE, FALSE, "TarnwallTestLetGo");
  HANDLE process = nullptr;
  bool start(bool half) {
    ResetEvent(held);
    ResetEvent(let_go);
    process =
        start_helper(std::string("prompt_helper.exe hold TarnwallTestHeld TarnwallTestLetGo") + (half ? " half" : ""));
    return process && WaitForSingleObject(held, 30000) == WAIT_OBJECT_0;
  }
  ~Holder() {
    SetEvent(let_go);
    if (process) {
      if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) TerminateProcess(process, 9);
      CloseHandle(process);
    }
    CloseHandle(held);
    CloseHandle(let_go);
  }
};

// The holder killed while twenty askers, each its own process, queue for the channel; and
// the holder had left a request half written. Each ask is answered by its own answer
// exactly once (even ports allowed, odd ones denied), and the half-written one never shows.
TEST_F(PromptTest, AHolderKilledInABurstOfTwentyAsksLosesAndMixesNoAnswer) {
  HANDLE asking = CreateSemaphoreA(nullptr, 0, 100, "TarnwallTestAsking");
  for (int round = 0; round < 2; round++) {
    SCOPED_TRACE(round);
    Holder holder;
    ASSERT_TRUE(holder.start(true)) << "the holder never held the channel";
    std::vector<HANDLE> askers;
    for (int i = 0; i < 20; i++)
      askers.push_back(start_helper("prompt_helper.exe ask 60000 " + std::to_string(1000 + i)));
    for (int i = 0; i < 20; i++)
      ASSERT_EQ(WaitForSingleObject(asking, 30000), (DWORD)WAIT_OBJECT_0) << "asker " << i << " never came to ask";
    TerminateProcess(holder.process, 9);
    WaitForSingleObject(holder.process, 10000);

    std::set<uint32_t> ids;
    std::set<unsigned> ports;
    PFW_PROMPT_REQUEST r;
    for (DWORD start = GetTickCount(); ports.size() < 20 && GetTickCount() - start < 60000;) {
      if (!PFW_TakePromptRequest(channel, &r)) {
        Sleep(5);
        continue;
      }
      EXPECT_STRNE(r.program, "HALF.EXE");
      EXPECT_TRUE(ids.insert(r.id).second) << "id " << r.id << " taken twice";
      EXPECT_TRUE(ports.insert(r.port).second) << "port " << r.port << " asked twice";
      EXPECT_EQ(PFW_AnswerPrompt(channel, r.id, r.port % 2 ? PFW_DENY : PFW_ALLOW), 1);
    }
    EXPECT_EQ(ports.size(), 20u);
    for (int i = 0; i < 20; i++) {
      DWORD code = 0;
      EXPECT_EQ(WaitForSingleObject(askers[i], 30000), (DWORD)WAIT_OBJECT_0) << "asker " << i;
      GetExitCodeProcess(askers[i], &code);
      EXPECT_EQ(code, (DWORD)(10 + ((1000 + i) % 2 ? PFW_DENY : PFW_ALLOW))) << "asker " << i;
      CloseHandle(askers[i]);
    }
    EXPECT_EQ(PFW_TakePromptRequest(channel, &r), 0);
    expect_sound(channel);
  }
  CloseHandle(asking);
}

// Killed at random moments while it asks, takes, answers and collects: each time the next
// process finds the channel sound (after its repair) and its own ask answered.
TEST_F(PromptTest, AProcessKilledAtRandomMomentsLeavesTheChannelSound) {
  srand(GetTickCount());
  for (int round = 0; round < 20; round++) {
    SCOPED_TRACE(round);
    HANDLE churn = start_helper("prompt_helper.exe churn");
    ASSERT_NE(churn, nullptr);
    // Under way first (it has asked once), then killed at a random moment of its loop.
    uint32_t before = channel->next_id;
    for (DWORD start = GetTickCount(); *(volatile uint32_t*)&channel->next_id == before;) {
      ASSERT_LT(GetTickCount() - start, 30000u) << "the churning helper never asked";
      Sleep(1);
    }
    Sleep(rand() % 40);  // the random moment of the kill, not a wait for anything
    TerminateProcess(churn, 9);
    WaitForSingleObject(churn, 10000);
    CloseHandle(churn);

    uint32_t id = ask(question("AFTER.EXE", 4242));
    PFW_PROMPT_REQUEST r;
    ASSERT_EQ(PFW_TakePromptRequest(channel, &r), 1);
    EXPECT_EQ(r.id, id) << r.program;
    EXPECT_EQ(PFW_AnswerPrompt(channel, id, PFW_ALLOW), 1);
    int answer = -1;
    EXPECT_EQ(PFW_WaitPromptAnswer(channel, id, 1000, &answer), 1);
    EXPECT_EQ(answer, PFW_ALLOW);
    expect_sound(channel);
    for (const PFW_PROMPT_REQUEST& left : channel->slots) EXPECT_EQ(left.state, PFW_PROMPT_FREE) << left.program;
  }
}

// A holder that is merely slow is waited for, however long: no take-over by time. The
// holder pauses ten times the asker's own time-out, so neither a fixed limit of a few
// seconds nor one tied to the ask lets the asker past it.
TEST_F(PromptTest, ALiveHolderThatPausesTenTimesTheAsksTimeOutIsWaitedFor) {
  constexpr unsigned kAskMs = 300;
  Holder holder;
  ASSERT_TRUE(holder.start(false));
  struct Ask {
    PFW_PROMPT_BLOCK* channel;
    uint32_t id = 0;
    int asked = -1;
    static DWORD WINAPI run(void* self) {
      auto* a = static_cast<Ask*>(self);
      PFW_PROMPT_REQUEST q = question("PATIENT.EXE");
      a->asked = PFW_AskPrompt(a->channel, &q, kAskMs, &a->id, nullptr);
      return 0;
    }
  } ask{channel};
  HANDLE thread = CreateThread(nullptr, 0, Ask::run, &ask, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 10 * kAskMs), (DWORD)WAIT_TIMEOUT) << "the ask went in past a live holder";
  EXPECT_EQ(WaitForSingleObject(holder.process, 0), (DWORD)WAIT_TIMEOUT);
  SetEvent(holder.let_go);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), (DWORD)WAIT_OBJECT_0);
  CloseHandle(thread);
  uint32_t id = ask.id;
  EXPECT_EQ(ask.asked, 1);
  DWORD code = 99;
  EXPECT_EQ(WaitForSingleObject(holder.process, 10000), (DWORD)WAIT_OBJECT_0);
  GetExitCodeProcess(holder.process, &code);
  EXPECT_EQ(code, 0u) << "the holder let go as it should";
  // The request went in whole once the holder let go (its short time-out may have run
  // out since, so its slot is read rather than asked whether it still waits).
  int waiting = 0;
  for (const PFW_PROMPT_REQUEST& r : channel->slots) waiting += r.id == id && r.state == PFW_PROMPT_WAITING;
  EXPECT_EQ(waiting, 1);
  expect_sound(channel);
}

// A record naming a process id that lives, but a process started at another time, names a
// process that has ended: as asker its request is not waiting, as taker it shows nothing.
TEST_F(PromptTest, AReusedProcessIdIsNotTakenForTheProcessThatHadIt) {
  helpers.push_back(start_helper("prompt_helper.exe take"));  // lives, and takes nothing yet
  DWORD other = GetProcessId(helpers.back());
  uint32_t by_other = ask(question("OTHER.EXE", 81)), by_me = ask(question("ME.EXE", 82));
  uint32_t shown = ask(question("SHOWN.EXE", 83));
  auto slot = [&](uint32_t id) -> PFW_PROMPT_REQUEST& {
    for (PFW_PROMPT_REQUEST& r : channel->slots)
      if (r.id == id) return r;
    return channel->slots[0];
  };
  // The helper may take one of them before it is rewritten: give the channel back first.
  ASSERT_TRUE(request_from_other_process(PFW_PROMPT_SHOWN));
  for (uint32_t id : {by_other, by_me, shown}) {
    PFW_PROMPT_REQUEST& r = slot(id);
    r.state = PFW_PROMPT_WAITING;
    r.taker_pid = 0;
    r.taker_created = 0;
  }
  EXPECT_EQ(PFW_PromptIsWaiting(channel, by_other), 1);
  slot(by_other).asker_pid = other;  // a live process, but not the asker's start
  slot(by_me).asker_created += 1;    // this process's id, another process's start
  EXPECT_EQ(PFW_PromptIsWaiting(channel, by_other), 0);
  EXPECT_EQ(PFW_PromptIsWaiting(channel, by_me), 0);
  // Shown by "this process" started at another time: a monitor that has ended.
  slot(shown).state = PFW_PROMPT_SHOWN;
  slot(shown).taker_pid = GetCurrentProcessId();
  slot(shown).taker_created = slot(shown).asker_created + 1;
  PFW_PROMPT_REQUEST taken;
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  EXPECT_EQ(taken.id, shown) << "offered again";
  EXPECT_EQ(PFW_TakePromptRequest(channel, &taken), 0) << "the requests of ended askers are not offered";
  EXPECT_EQ(PFW_AnswerPrompt(channel, by_me, PFW_ALLOW), 0);
  // And with its true identity, a taker that lives keeps what it shows.
  EXPECT_EQ(PFW_ExtendPrompt(channel, shown, 1000), 1);
}

// A monitor keeps the asker waiting past its own time while the user decides; an asker
// process, waiting with PFW_WaitPromptAnswer, takes the late answer.
TEST_F(PromptTest, AnExtendedRequestIsAnsweredAfterItsAskersOwnTime) {
  DWORD asked_at = GetTickCount();
  helpers.push_back(start_helper("prompt_helper.exe ask 1500"));
  ASSERT_TRUE(request_from_other_process(PFW_PROMPT_WAITING));
  PFW_PROMPT_REQUEST taken;
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  EXPECT_EQ(PFW_ExtendPrompt(channel, taken.id, 8000), 1);
  uint32_t expires = 0;
  EXPECT_EQ(PFW_GetPromptExpiry(channel, taken.id, &expires), 1);
  EXPECT_GE((int32_t)(expires - asked_at), 7000);
  // Past the asker's own 1.5 seconds, it still waits.
  EXPECT_EQ(WaitForSingleObject(helpers[0], 3000), (DWORD)WAIT_TIMEOUT);
  EXPECT_EQ(PFW_AnswerPrompt(channel, taken.id, PFW_ALLOW), 1);
  DWORD code = 0;
  EXPECT_EQ(WaitForSingleObject(helpers[0], 10000), (DWORD)WAIT_OBJECT_0);
  GetExitCodeProcess(helpers[0], &code);
  EXPECT_EQ(code, (DWORD)(10 + PFW_ALLOW));

  // Only the monitor that shows a request extends it; one given back waits for the next.
  uint32_t mine = ask(question("BACK.EXE"));
  EXPECT_EQ(PFW_ExtendPrompt(channel, mine, 1000), 0) << "not shown";
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  EXPECT_EQ(PFW_ReturnPromptRequest(channel, mine), 1);
  EXPECT_EQ(PFW_ReturnPromptRequest(channel, mine), 0);
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  EXPECT_EQ(taken.id, mine);
}

// An answer its living asker has not collected is kept, even once the request's time is
// up: a full channel refuses rather than take that slot, and says it is full.
TEST_F(PromptTest, AFullChannelKeepsAnAnswerNotYetCollected) {
  uint32_t short_lived = ask(question("SHORT.EXE"), 300);
  for (int i = 1; i < PFW_PROMPT_SLOTS; i++) ask(question(("P" + std::to_string(i)).c_str()));
  PFW_PROMPT_REQUEST taken;
  ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1);
  ASSERT_EQ(taken.id, short_lived);
  ASSERT_EQ(PFW_AnswerPrompt(channel, short_lived, PFW_DENY), 1);
  uint32_t expires = 0;
  while ((int32_t)(GetTickCount() - (taken.expires + 50)) < 0) Sleep(10);  // its time is up
  PFW_PROMPT_REQUEST q = question("LATE.EXE");
  uint32_t id = 0;
  SetLastError(0);
  EXPECT_EQ(PFW_AskPrompt(channel, &q, 60000, &id, nullptr), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BUSY);
  EXPECT_EQ(PFW_GetPromptExpiry(channel, short_lived, &expires), 0) << "answered";
  int answer = -1;
  EXPECT_EQ(PFW_WaitPromptAnswer(channel, short_lived, 0, &answer), 1);
  EXPECT_EQ(answer, PFW_DENY);
  EXPECT_EQ(PFW_AskPrompt(channel, &q, 60000, &id, nullptr), 1);
}

}  // namespace
