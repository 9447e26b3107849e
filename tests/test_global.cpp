// The global state block: its layout as other processes see it, the string
// limits, the mailbox hand-over within and across processes, and how a newly
// created block is filled from the registry.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "store_fixture.h"
#include "tessary.h"

namespace {

const std::string kHelper = "global_helper.exe";

// A second view of the block, as another process would map it.
class RawBlock {
 public:
  RawBlock() { open(); }
  void open() {
    mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, PFW_GLOBAL_MAP_NAME);
    if (mapping_) view_ = (PFW_GLOBAL_DATA*)MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  }
  ~RawBlock() {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
  }
  PFW_GLOBAL_DATA* operator->() const { return view_; }
  const char* bytes() const { return (const char*)view_; }
  bool ok() const { return view_ != nullptr; }

 private:
  HANDLE mapping_ = nullptr;
  PFW_GLOBAL_DATA* view_ = nullptr;
};

// StoreTest's semaphore probe is protected; reach it through a subclass.
struct Probe : StoreTest {
  using StoreTest::semaphore_count;
};

long mailbox_count() { return Probe::semaphore_count(PFW_GLOBAL_SEMAPHORE_NAME); }

PFW_TRAFFIC record_of(const std::string& text) {
  PFW_TRAFFIC t;
  memset(&t, 0, sizeof t);
  memcpy(t.text, text.data(), text.size() < sizeof t.text ? text.size() : sizeof t.text);
  return t;
}

class GlobalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PFW_InitializeGlobalData();
    raw.open();
    ASSERT_TRUE(raw.ok());
    ASSERT_EQ(raw->traffic_pending, 0) << "an earlier test left a record in the mailbox";
    ASSERT_EQ(mailbox_count(), 1);
  }
  void TearDown() override {
    PFW_TRAFFIC drain;
    while (PFW_GetGlobalTraffic(&drain)) {
    }
    PFW_SetGlobalMonitorHwnd(nullptr);
  }
  RawBlock raw;
};

TEST_F(GlobalTest, EachAccessorWritesItsOwnFieldAtTheSharedOffset) {
  PFW_OPTIONS before = raw->options;
  EXPECT_EQ(PFW_SetLockStatus(1), 1);
  EXPECT_EQ(PFW_SetRunMode(PFW_MODE_STANDBY), PFW_MODE_STANDBY);
  EXPECT_EQ(PFW_SetLogFullyArmed(1), 1);
  EXPECT_EQ(PFW_SetLogStandBy(0), 0);
  EXPECT_EQ(PFW_SetTimerActive(1), 1);
  EXPECT_EQ(PFW_SetTimerCountDown(5400), 5400);
  EXPECT_EQ(PFW_SetLogAllow(0), 0);
  EXPECT_EQ(PFW_SetLogDeny(1), 1);

  EXPECT_EQ(raw->options.lock_status, 1);
  EXPECT_EQ(raw->options.run_mode, PFW_MODE_STANDBY);
  EXPECT_EQ(raw->options.log_fully_armed, 1);
  EXPECT_EQ(raw->options.log_stand_by, 0);
  EXPECT_EQ(raw->options.timer_active, 1);
  EXPECT_EQ(raw->options.timer_countdown, 5400u);
  EXPECT_EQ(raw->options.log_allow, 0);
  EXPECT_EQ(raw->options.log_deny, 1);
  EXPECT_EQ(PFW_GetRunMode(), PFW_MODE_STANDBY);
  EXPECT_EQ(PFW_GetTimerCountDown(), 5400);
  EXPECT_EQ(PFW_GetLogDeny(), 1);

  // A change written by another process through its own view reads back here.
  raw->options.run_mode = PFW_MODE_BLOCK;
  raw->options.lock_status = 0;
  EXPECT_EQ(PFW_GetRunMode(), PFW_MODE_BLOCK);
  EXPECT_EQ(PFW_GetLockStatus(), 0);
  raw->options = before;
}

TEST_F(GlobalTest, WindowHandlesTravelAsTheir32Bits) {
  HWND monitor = (HWND)(intptr_t)0x0001003A;
  EXPECT_EQ(PFW_SetGlobalMonitorHwnd(monitor), monitor);
  EXPECT_EQ(raw->monitor_hwnd, 0x0001003Au);
  EXPECT_EQ(PFW_GetGlobalMonitorHwnd(), monitor);
  // A handle with its top bit set comes back sign-extended, as the system widens handles.
  HWND high = (HWND)(intptr_t)(int32_t)0x80000124;
  PFW_SetGlobalEdictorHwnd(high);
  EXPECT_EQ(raw->edictor_hwnd, 0x80000124u);
  EXPECT_EQ(PFW_GetGlobalEdictorHwnd(), high);
  EXPECT_EQ(raw->monitor_hwnd, 0x0001003Au) << "the editor's handle overwrote the monitor's";
  PFW_SetGlobalEdictorHwnd(nullptr);
  EXPECT_EQ(PFW_GetGlobalEdictorHwnd(), nullptr);
}

TEST_F(GlobalTest, StringSettersCutToTheirFieldsAndNeverWritePast) {
  int mode = PFW_SetRunMode(PFW_MODE_FILTER);
  EXPECT_EQ(PFW_SetPassword("0123456789"), 11);
  EXPECT_STREQ(PFW_GetPassword(), "0123456789");
  EXPECT_STREQ(raw->options.password, "0123456789") << "the password is not at its shared offset";

  std::string exact(59, 'p');
  EXPECT_EQ(PFW_SetPassword(exact.c_str()), 60);
  EXPECT_EQ(std::string(PFW_GetPassword()), exact);

  // 300 characters where 59 fit: the run mode stored right after the field survives.
  PFW_SetRunMode(PFW_MODE_STANDBY);
  std::string long_password(300, 'q');
  EXPECT_EQ(PFW_SetPassword(long_password.c_str()), 60);
  EXPECT_EQ(std::string(PFW_GetPassword()), std::string(59, 'q'));
  EXPECT_EQ(raw->options.run_mode, PFW_MODE_STANDBY);
  EXPECT_EQ(raw->options.password[59], 0);

  EXPECT_EQ(PFW_SetPassword(nullptr), 1);
  EXPECT_STREQ(PFW_GetPassword(), "");
  EXPECT_EQ(PFW_SetPassword(""), 1);

  std::string path = "C:\\Program Files\\Tarnwall\\connections.log";
  EXPECT_EQ(PFW_SetLogFileName(path.c_str()), (int)path.size() + 1);
  EXPECT_EQ(std::string(raw->log_file_name), path);

  // The log file name is the last field of the block; nothing beyond it may change.
  std::vector<char> tail((const char*)raw.bytes() + sizeof(PFW_GLOBAL_DATA),
                         (const char*)raw.bytes() + sizeof(PFW_GLOBAL_DATA) + 64);
  std::string long_path(2000, 'L');
  EXPECT_EQ(PFW_SetLogFileName(long_path.c_str()), 500);
  EXPECT_EQ(strlen(PFW_GetLogFileName()), 499u);
  EXPECT_EQ(0, memcmp(tail.data(), raw.bytes() + sizeof(PFW_GLOBAL_DATA), tail.size()));
  EXPECT_EQ(PFW_SetLogFileName(nullptr), 1);
  EXPECT_STREQ(PFW_GetLogFileName(), "");
  PFW_SetRunMode(mode);
}

TEST_F(GlobalTest, EmptyMailboxGivesNothingAndLeavesTheBufferAlone) {
  PFW_TRAFFIC buffer;
  memset(&buffer, 'Q', sizeof buffer);
  EXPECT_EQ(PFW_GetGlobalTraffic(&buffer), 0);
  for (char c : buffer.text) ASSERT_EQ(c, 'Q');
  EXPECT_EQ(PFW_GetGlobalTraffic(nullptr), 0);
  EXPECT_EQ(mailbox_count(), 1) << "a miss must not release the semaphore";
}

TEST_F(GlobalTest, DepositLeavesTheMailboxTakenUntilTheRecordIsTakenOnce) {
  EXPECT_EQ(PFW_SetGlobalTraffic(record_of("12:00:01 out TCP/80 allow\n")), 0);
  EXPECT_EQ(raw->traffic_pending, 1);
  EXPECT_EQ(mailbox_count(), 0);
  EXPECT_STREQ(raw->traffic.text, "12:00:01 out TCP/80 allow\n");

  // A null buffer takes nothing, even with a record waiting.
  EXPECT_EQ(PFW_GetGlobalTraffic(nullptr), 0);
  EXPECT_EQ(raw->traffic_pending, 1);

  PFW_TRAFFIC out;
  EXPECT_EQ(PFW_GetGlobalTraffic(&out), 1);
  EXPECT_STREQ(out.text, "12:00:01 out TCP/80 allow\n");
  EXPECT_EQ(raw->traffic_pending, 0);
  EXPECT_EQ(mailbox_count(), 1);
  EXPECT_EQ(PFW_GetGlobalTraffic(&out), 0);
  EXPECT_EQ(mailbox_count(), 1) << "a second take released the semaphore again";
}

TEST_F(GlobalTest, RecordWithoutTerminatorArrivesCutTo199Characters) {
  PFW_TRAFFIC full;
  memset(&full, 'A', sizeof full);
  ASSERT_EQ(PFW_SetGlobalTraffic(full), 0);
  PFW_TRAFFIC out;
  memset(&out, 'z', sizeof out);
  ASSERT_EQ(PFW_GetGlobalTraffic(&out), 1);
  EXPECT_EQ(strnlen(out.text, sizeof out.text), 199u);
}

TEST_F(GlobalTest, SecondInitializeInTheSameProcessChangesNothing) {
  int mode = PFW_SetRunMode(PFW_MODE_BLOCK);
  ASSERT_EQ(PFW_SetGlobalTraffic(record_of("waiting")), 0);
  PFW_InitializeGlobalData();
  EXPECT_EQ(PFW_GetRunMode(), PFW_MODE_BLOCK);
  EXPECT_EQ(raw->traffic_pending, 1);
  EXPECT_EQ(mailbox_count(), 0) << "initialising again freed a full mailbox";
  PFW_TRAFFIC out;
  EXPECT_EQ(PFW_GetGlobalTraffic(&out), 1);
  EXPECT_STREQ(out.text, "waiting");
  PFW_SetRunMode(mode);
}

TEST_F(GlobalTest, SecondDepositReturnsOnlyAfterTheFirstRecordWasTaken) {
  ASSERT_EQ(PFW_SetGlobalTraffic(record_of("first")), 0);
  HANDLE producer = start_helper(kHelper + " deposit second");
  ASSERT_TRUE(producer);
  // The other producer has long had time to start and deposit; it must still be waiting.
  EXPECT_EQ(WaitForSingleObject(producer, 1500), (DWORD)WAIT_TIMEOUT);
  EXPECT_STREQ(raw->traffic.text, "first") << "the waiting producer overwrote the record";

  PFW_TRAFFIC out;
  ASSERT_EQ(PFW_GetGlobalTraffic(&out), 1);
  EXPECT_STREQ(out.text, "first");
  ASSERT_EQ(WaitForSingleObject(producer, 30000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(producer, &code);
  CloseHandle(producer);
  EXPECT_EQ(code, 0u);
  ASSERT_EQ(PFW_GetGlobalTraffic(&out), 1);
  EXPECT_STREQ(out.text, "second");
}

TEST_F(GlobalTest, RecordsReachAConsumerInAnotherProcessInOrder) {
  const int kCount = 300;
  HANDLE consumer = start_helper(kHelper + " consume " + std::to_string(kCount) + " rec-");
  ASSERT_TRUE(consumer);
  // Each deposit waits until the consumer has taken the one before.
  for (int i = 0; i < kCount; i++) ASSERT_EQ(PFW_SetGlobalTraffic(record_of("rec-" + std::to_string(i))), 0);
  ASSERT_EQ(WaitForSingleObject(consumer, 60000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(consumer, &code);
  CloseHandle(consumer);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(raw->traffic_pending, 0);
  EXPECT_EQ(mailbox_count(), 1);
}

TEST_F(GlobalTest, JoiningProcessSeesTheStateAndLeavesAFullMailboxFull) {
  int mode = PFW_SetRunMode(PFW_MODE_BLOCK);
  PFW_SetPassword("open sesame");
  PFW_SetLogFileName("C:\\tarnwall\\traffic.log");
  ASSERT_EQ(PFW_SetGlobalTraffic(record_of("held across a join")), 0);

  EXPECT_EQ(run_helper(kHelper + " expect 1 \"open sesame\" C:\\tarnwall\\traffic.log"), 0);
  EXPECT_EQ(mailbox_count(), 0);
  EXPECT_EQ(raw->traffic_pending, 1);
  PFW_TRAFFIC out;
  EXPECT_EQ(PFW_GetGlobalTraffic(&out), 1);
  EXPECT_STREQ(out.text, "held across a join");

  PFW_SetPassword("");
  PFW_SetLogFileName("");
  PFW_SetRunMode(mode);
}

// ---------------------------------------------------------------------------
// A newly created block. Only the first process to map it reads the registry,
// so these tests need a machine where no process holds the block yet: a helper
// creates it, and this process joins to look at what it was filled with.
// ---------------------------------------------------------------------------

// The "Options" and "LogFile" values as the tests set them, put back afterwards.
// Keys the installation would have made are made here when missing and removed again.
class StoredSettings {
 public:
  StoredSettings() {
    HKEY key = HKEY_LOCAL_MACHINE;
    for (const char* part : {PFW_KEY_SOFTWARE, PFW_KEY_MAKER, PFW_KEY_PRODUCT, PFW_KEY_VERSION, PFW_KEY_RULES}) {
      key = step(key, part);
      if (!key) return;
    }
    rules_ = key;
    char name[PFW_RULE_SET_NAME_SIZE] = {};
    DWORD size = sizeof name - 1;
    if (RegQueryValueExA(rules_, PFW_VALUE_ACTIVE_RULE_SET, nullptr, nullptr, (BYTE*)name, &size) != ERROR_SUCCESS ||
        !name[0]) {
      strcpy(name, "Tests");
      RegSetValueExA(rules_, PFW_VALUE_ACTIVE_RULE_SET, 0, REG_SZ, (const BYTE*)name, (DWORD)strlen(name) + 1);
      made_active_name_ = true;
    }
    rule_set_ = step(rules_, name);
    if (rule_set_) {
      options_ = save(rules_, PFW_VALUE_OPTIONS);
      log_file_ = save(rule_set_, PFW_VALUE_LOG_FILE);
    }
  }

  ~StoredSettings() {
    if (rule_set_) {
      restore(rules_, PFW_VALUE_OPTIONS, options_);
      restore(rule_set_, PFW_VALUE_LOG_FILE, log_file_);
    }
    if (made_active_name_) RegDeleteValueA(rules_, PFW_VALUE_ACTIVE_RULE_SET);
    // Deepest first; a key that has gained content since stays.
    for (auto it = opened_.rbegin(); it != opened_.rend(); ++it) {
      RegCloseKey(it->key);
      if (it->made) RegDeleteKeyA(it->parent, it->name.c_str());
    }
  }

  bool ok() const { return rule_set_ != nullptr; }
  void remove_both() {
    RegDeleteValueA(rules_, PFW_VALUE_OPTIONS);
    RegDeleteValueA(rule_set_, PFW_VALUE_LOG_FILE);
  }

 private:
  struct Saved {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  };
  struct Opened {
    HKEY parent;
    std::string name;
    HKEY key;
    bool made;
  };

  HKEY step(HKEY parent, const char* name) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
      return nullptr;
    opened_.push_back({parent, name, key, disposition == REG_CREATED_NEW_KEY});
    return key;
  }
  static Saved save(HKEY key, const char* value) {
    Saved s;
    DWORD size = 0;
    if (RegQueryValueExA(key, value, nullptr, &s.type, nullptr, &size) != ERROR_SUCCESS) return s;
    s.data.resize(size);
    s.present = RegQueryValueExA(key, value, nullptr, &s.type, s.data.data(), &size) == ERROR_SUCCESS;
    return s;
  }
  static void restore(HKEY key, const char* value, const Saved& s) {
    if (s.present)
      RegSetValueExA(key, value, 0, s.type, s.data.data(), (DWORD)s.data.size());
    else
      RegDeleteValueA(key, value);
  }

  std::vector<Opened> opened_;
  HKEY rules_ = nullptr;
  HKEY rule_set_ = nullptr;
  bool made_active_name_ = false;
  Saved options_, log_file_;
};

class NewBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HANDLE existing = OpenFileMappingA(FILE_MAP_READ, FALSE, PFW_GLOBAL_MAP_NAME);
    if (existing) {
      CloseHandle(existing);
      GTEST_SKIP() << "the block is already held (run this test in a process of its own)";
    }
    ASSERT_TRUE(settings.ok());
    ready = CreateEventA(nullptr, TRUE, FALSE, "TarnwallGlobalReady");
    done = CreateEventA(nullptr, TRUE, FALSE, "TarnwallGlobalDone");
    ASSERT_TRUE(ready && done);
  }
  void TearDown() override {
    if (done) SetEvent(done);
    if (creator) {
      WaitForSingleObject(creator, 30000);
      CloseHandle(creator);
    }
    if (ready) CloseHandle(ready);
    if (done) CloseHandle(done);
  }

  // Starts the helper that creates the block and holds it; then joins it here.
  void create_in_helper(const std::string& run_mode = "") {
    creator = start_helper(kHelper + " hold TarnwallGlobalReady TarnwallGlobalDone " + run_mode);
    ASSERT_TRUE(creator);
    ASSERT_EQ(WaitForSingleObject(ready, 30000), WAIT_OBJECT_0);
    PFW_InitializeGlobalData();
  }

  StoredSettings settings;
  HANDLE ready = nullptr, done = nullptr, creator = nullptr;
};

TEST_F(NewBlockTest, CreatorFillsTheBlockFromTheStoredOptionsAndLogFile) {
  PFW_OPTIONS stored = {};
  stored.lock_status = 1;
  strcpy(stored.password, "hunter2");
  stored.run_mode = PFW_MODE_BLOCK;
  stored.log_fully_armed = 1;
  stored.log_stand_by = 0;
  stored.timer_active = 1;
  stored.timer_countdown = 90;
  stored.log_allow = 1;
  stored.log_deny = 1;
  ASSERT_EQ(PFW_SetOptionsInRegistry(stored), 1);
  ASSERT_EQ(PFW_SetLogFileNameInRegistry("C:\\logs\\tarnwall.log"), 1);

  // The creator switches to Stand By before this process joins.
  ASSERT_NO_FATAL_FAILURE(create_in_helper("2"));
  RawBlock raw;
  ASSERT_TRUE(raw.ok());
  PFW_OPTIONS expected = stored;
  expected.run_mode = PFW_MODE_STANDBY;
  EXPECT_EQ(0, memcmp(&raw->options, &expected, sizeof expected));
  EXPECT_STREQ(PFW_GetPassword(), "hunter2");
  EXPECT_EQ(PFW_GetRunMode(), PFW_MODE_STANDBY);
  EXPECT_STREQ(PFW_GetLogFileName(), "C:\\logs\\tarnwall.log");
  EXPECT_EQ(raw->traffic_pending, 0);
  EXPECT_EQ(raw->monitor_hwnd, 0u);
  EXPECT_EQ(raw->edictor_hwnd, 0u);
  PFW_TRAFFIC zero = {};
  EXPECT_EQ(0, memcmp(&raw->traffic, &zero, sizeof zero));
  // The creator freed the mailbox once; joining freed nothing more.
  EXPECT_EQ(mailbox_count(), 1);
}

TEST_F(NewBlockTest, MissingValuesGiveAnEmptyLogFileNameAndZeroedOptions) {
  settings.remove_both();
  ASSERT_NO_FATAL_FAILURE(create_in_helper());
  RawBlock raw;
  ASSERT_TRUE(raw.ok());
  PFW_OPTIONS zero = {};
  EXPECT_EQ(0, memcmp(&raw->options, &zero, sizeof zero));
  EXPECT_STREQ(PFW_GetLogFileName(), "");
  EXPECT_EQ(mailbox_count(), 1);
}

TEST_F(NewBlockTest, StoredPasswordWithoutTerminatorIsCutTo59Characters) {
  PFW_OPTIONS stored = {};
  memset(stored.password, 'x', sizeof stored.password);
  stored.run_mode = PFW_MODE_FILTER;
  stored.log_deny = 1;
  ASSERT_EQ(PFW_SetOptionsInRegistry(stored), 1);
  ASSERT_NO_FATAL_FAILURE(create_in_helper());
  EXPECT_EQ(std::string(PFW_GetPassword()), std::string(59, 'x'));
  EXPECT_EQ(PFW_GetLogDeny(), 1);
}

}  // namespace
