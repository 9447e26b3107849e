#include "registry_fixture.h"

namespace regtest {

#define BASE "SOFTWARE\\Velmora\\Tarnwall\\1.0"
const char* const kBase = BASE;
const char* const kProtocols = BASE "\\Protocols";
const char* const kAddresses = BASE "\\Addresses";
const char* const kApps = BASE "\\Applications";
const char* const kRules = BASE "\\Rules";
const char* const kRuleSet = BASE "\\Rules\\Standard";
const char* const kRuleSetName = "Standard";
const char* const kEdictorPath = "C:\\Program Files\\Tarnwall\\Edictor.exe";

namespace {

const char* const kMaker = "SOFTWARE\\Velmora";
const char* const kSaved = "SOFTWARE\\Velmora (kept aside by the persistence tests)";

HKEY open_key(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

bool create_key(const char* path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void delete_tree(const char* path) {
  HKEY parent = open_key("SOFTWARE");
  if (!parent) return;
  RegDeleteTreeA(parent, path + strlen("SOFTWARE\\"));
  RegDeleteKeyA(parent, path + strlen("SOFTWARE\\"));
  RegCloseKey(parent);
}

// Sets aside a maker's key that was there before this program, and puts it back at the end.
class KeepMakerKey : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!key_exists(kMaker)) return;
    delete_tree(kSaved);
    ASSERT_TRUE(create_key(kSaved));
    HKEY from = open_key(kMaker), to = open_key(kSaved);
    ASSERT_EQ(RegCopyTreeA(from, nullptr, to), ERROR_SUCCESS);
    RegCloseKey(from);
    RegCloseKey(to);
    delete_maker_key();
    saved_ = true;
  }
  void TearDown() override {
    delete_maker_key();
    if (!saved_) return;
    ASSERT_TRUE(create_key(kMaker));
    HKEY from = open_key(kSaved), to = open_key(kMaker);
    EXPECT_EQ(RegCopyTreeA(from, nullptr, to), ERROR_SUCCESS);
    RegCloseKey(from);
    RegCloseKey(to);
    delete_tree(kSaved);
  }

 private:
  bool saved_ = false;
};

::testing::Environment* const g_keep = ::testing::AddGlobalTestEnvironment(new KeepMakerKey);

}  // namespace

bool key_exists(const char* path) {
  HKEY key = open_key(path);
  if (key) RegCloseKey(key);
  return key != nullptr;
}

bool write_value(const char* path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = open_key(path);
  if (!key) return false;
  LONG r = RegSetValueExA(key, name, 0, type, (const BYTE*)data, size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

bool write_string(const char* path, const char* name, const char* text) {
  return write_value(path, name, REG_SZ, text, (DWORD)strlen(text) + 1);
}

bool delete_value(const char* path, const char* name) {
  HKEY key = open_key(path);
  if (!key) return false;
  LONG r = RegDeleteValueA(key, name);
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

bool read_value(const char* path, const char* name, std::vector<unsigned char>* data, DWORD* type) {
  HKEY key = open_key(path);
  if (!key) return false;
  DWORD t = 0, size = 0;
  LONG r = RegQueryValueExA(key, name, nullptr, &t, nullptr, &size);
  if (r == ERROR_SUCCESS) {
    std::vector<unsigned char> bytes(size);
    r = RegQueryValueExA(key, name, nullptr, &t, bytes.data(), &size);
    bytes.resize(size);
    if (data) *data = bytes;
    if (type) *type = t;
  }
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

bool value_exists(const char* path, const char* name) { return read_value(path, name, nullptr); }

std::vector<std::string> value_names(const char* path) {
  std::vector<std::string> names;
  HKEY key = open_key(path);
  if (!key) return names;
  char name[256];
  for (DWORD i = 0;; i++) {
    DWORD size = sizeof name;
    if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.push_back(name);
  }
  RegCloseKey(key);
  return names;
}

void delete_maker_key() { delete_tree(kMaker); }

void install_starting_set() {
  PFW_PROTO_RECORD any_protocol = {0, 1, "Any Protocol", 0, 0};
  PFW_ADR_RECORD any_address = {0, 1, 0, 0, "Any Address", 0};
  PFW_APP_RECORD any_app = {0, 1, "Any Application", "Every program"};
  PFW_RULE_RECORD inbound = {0, 0, 0, PFW_INBOUND, PFW_DENY, 1};
  PFW_RULE_RECORD outbound = {0, 0, 0, PFW_OUTBOUND, PFW_ALLOW, 0};
  ASSERT_TRUE(write_value(kProtocols, "0", REG_BINARY, &any_protocol, sizeof any_protocol));
  ASSERT_TRUE(write_value(kAddresses, "0", REG_BINARY, &any_address, sizeof any_address));
  ASSERT_TRUE(write_value(kApps, "0", REG_BINARY, &any_app, sizeof any_app));
  ASSERT_TRUE(write_value(kRuleSet, "0,0,0,0", REG_BINARY, &inbound, sizeof inbound));
  ASSERT_TRUE(write_value(kRuleSet, "0,0,0,1", REG_BINARY, &outbound, sizeof outbound));
  ASSERT_TRUE(write_string(kRules, "EdictorPath", kEdictorPath));
}

void make_layout() {
  delete_maker_key();
  for (const char* path : {kProtocols, kAddresses, kApps, kRuleSet}) ASSERT_TRUE(create_key(path)) << path;
  ASSERT_TRUE(write_string(kRules, "ActiveRuleSet", kRuleSetName));
}

int free_list_semaphores() {
  int free = 0;
  for (const char* name :
       {PFW_PROTOCOL_SEMAPHORE_NAME, PFW_ADDRESS_SEMAPHORE_NAME, PFW_APP_SEMAPHORE_NAME, PFW_RULE_SEMAPHORE_NAME}) {
    HANDLE s = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, name);
    if (!s) continue;
    if (WaitForSingleObject(s, 0) == WAIT_OBJECT_0) {
      ReleaseSemaphore(s, 1, nullptr);
      free++;
    }
    CloseHandle(s);
  }
  return free;
}

}  // namespace regtest

using namespace regtest;

void RegistryTest::SetUp() { make_layout(); }
void RegistryTest::TearDown() { delete_maker_key(); }

void PersistTest::SetUp() {
  make_layout();
  StoreTest::SetUp();
}

void PersistTest::TearDown() {
  StoreTest::TearDown();
  delete_maker_key();
}
