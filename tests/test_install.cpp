// test_install.cpp - the installer beside this test, run silently, and its uninstaller.
//
// Every suite starts from a machine without Tarnwall and leaves the machine without
// Tarnwall again, so the tests that follow find no Velmora keys. The cases that only read
// share one installation (InstalledTest); those that change or remove it install their own.
// What the installation should contain comes from the same starting values the
// installer was built from (starting_values.h); the layouts come from tessary.h.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>
#include <tlhelp32.h>

#include <string.h>

#include <iterator>
#include <string>
#include <vector>

#include "wait_until.h"
#include "starting_values.h"
#include "tessary.h"

namespace sv = starting_values;

namespace {

const std::string kVelmoraKey = std::string("SOFTWARE\\") + sv::k_MAKER;
const std::string kBaseKey = PFW_REGISTRY_BASE;
const std::string kRulesKey = kBaseKey + "\\Rules";
const std::string kRuleSetKey = kRulesKey + "\\" + sv::k_RULE_SET_NAME;
const std::string kUninstallKey =
    std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + sv::k_UNINSTALL_KEY_NAME;

std::string folder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}
std::string windows_dir() {
  char path[MAX_PATH] = {};
  GetWindowsDirectoryA(path, MAX_PATH);
  return path;
}
std::string here() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.find_last_of("\\/"));
}

std::string install_dir() { return folder(CSIDL_PROGRAM_FILES) + "\\" + sv::k_INSTALL_SUBDIR; }
std::string log_dir() { return folder(CSIDL_COMMON_APPDATA) + "\\" + sv::k_LOG_SUBDIR; }
std::string menu_dir() { return folder(CSIDL_COMMON_PROGRAMS) + "\\" + sv::k_MENU_FOLDER; }
std::string feedback_file() { return windows_dir() + "\\" + sv::k_FEEDBACK_FILE; }

// An IPv4 address in network byte order.
unsigned long ipv4(unsigned a, unsigned b, unsigned c, unsigned d) {
  return (unsigned long)(a | (b << 8) | (c << 16) | (d << 24));
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The names in a folder, without "." and "..".
std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) names.push_back(found.cFileName);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return names;
}

bool key_exists(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

struct Value {
  bool found = false;
  DWORD type = 0;
  std::vector<unsigned char> bytes;
  std::string text() const {
    std::string s(bytes.begin(), bytes.end());
    return s.substr(0, s.find('\0'));
  }
};

Value read_value(const std::string& key_path, const char* name) {
  Value v;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return v;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.bytes.resize(size);
    v.found = RegQueryValueExA(key, name, nullptr, &v.type, v.bytes.data(), &size) == ERROR_SUCCESS;
    v.bytes.resize(size);
  }
  RegCloseKey(key);
  return v;
}

void write_binary(const std::string& key_path, const char* name, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name, 0, REG_BINARY, (const BYTE*)data, size), ERROR_SUCCESS);
  RegCloseKey(key);
}

std::vector<std::string> value_names(const std::string& key_path) {
  std::vector<std::string> names;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD size = sizeof name;
    if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.push_back(name);
  }
  RegCloseKey(key);
  return names;
}

std::wstring widen(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), wide.data(), (int)wide.size()));
  return wide;
}

// Runs a program to its end; the exit code, or -1 when it could not start or hung. The
// command line is UTF-16, for folder names outside the ANSI code page.
int run_wide(const std::wstring& command_line) {
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::wstring cmd = command_line;
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  CloseHandle(pi.hThread);
  DWORD code = (DWORD)-1;
  if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  else
    TerminateProcess(pi.hProcess, 99);
  CloseHandle(pi.hProcess);
  return (int)code;
}

int run(const std::string& command_line) { return run_wide(widen(command_line)); }

// A quoted program path and its arguments.
std::string command(const std::string& program, const std::string& arguments) {
  std::string cmd(1, '"');
  cmd += program;
  cmd += "\" ";
  cmd += arguments;
  return cmd;
}

int install() { return run(command(here() + "\\" + sv::k_SETUP_FILE, "/S")); }

// The uninstaller normally copies itself away and returns at once; "_?=" keeps it in
// place so that its end is the end of the work. It must be the last argument, unquoted.
int uninstall() {
  std::string dir = install_dir();
  return run(command(dir + "\\" + sv::k_UNINSTALLER, "/S _?=" + dir));
}

bool built_here(const sv::Program& p) { return exists(here() + "\\" + p.file); }

// Whatever an installation or a failed test left behind.
void wipe() {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kVelmoraKey.c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVelmoraKey.c_str());
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey.c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey.c_str());
  std::string dir = install_dir();
  for (const auto& p : sv::kPrograms) {
    DeleteFileA((dir + "\\" + p.file).c_str());
    if (*p.shortcut) DeleteFileA((menu_dir() + "\\" + p.shortcut + ".lnk").c_str());
  }
  DeleteFileA((dir + "\\" + sv::k_LIBRARY).c_str());
  // An uninstaller that ran in place may be held open a moment after its process ended.
  std::string uninstaller = dir + "\\" + sv::k_UNINSTALLER;
  for (int i = 0; i < 40 && exists(uninstaller) && !DeleteFileA(uninstaller.c_str()); ++i) Sleep(50);
  RemoveDirectoryA(dir.c_str());
  RemoveDirectoryA((dir + "\\..").c_str());
  DeleteFileA((menu_dir() + "\\Uninstall " + sv::k_PRODUCT + ".lnk").c_str());
  RemoveDirectoryA(menu_dir().c_str());
  DeleteFileA((log_dir() + "\\" + sv::k_LOG_FILE).c_str());
  RemoveDirectoryA(log_dir().c_str());
  RemoveDirectoryA((log_dir() + "\\..").c_str());
  DeleteFileA(feedback_file().c_str());
}

// A fresh installation (false when the machine could not be cleared or setup failed),
// and the machine left without one.
bool install_fresh() {
  wipe();
  return !key_exists(kVelmoraKey) && install() == 0;
}
void remove_installation() {
  // After a case's own uninstall only the uninstaller, which cannot remove itself, is left:
  // running it again would find nothing to do.
  if (exists(install_dir() + "\\" + sv::k_LIBRARY)) uninstall();
  wipe();
}

// One installation for the suite: its cases read it and leave it as they found it.
class InstalledTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { installed_ = install_fresh(); }
  static void TearDownTestSuite() { remove_installation(); }
  void SetUp() override { ASSERT_TRUE(installed_) << "the suite's installation failed"; }
  static bool installed_;
};
bool InstalledTest::installed_ = false;

// An installation of the case's own, for the cases that change or remove it.
class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(install_fresh()) << "the case's installation failed"; }
  void TearDown() override { remove_installation(); }
};

TEST_F(InstalledTest, FilesShortcutsAndFeedbackShortcut) {
  std::string dir = install_dir();
  EXPECT_TRUE(exists(dir + "\\" + sv::k_LIBRARY));
  EXPECT_TRUE(exists(dir + "\\" + sv::k_UNINSTALLER));
  // Every program built so far is installed, with its shortcut; the others are not
  // pretended with a shortcut to a missing file.
  for (const auto& p : sv::kPrograms) {
    SCOPED_TRACE(p.file);
    EXPECT_EQ(exists(dir + "\\" + p.file), built_here(p));
    if (*p.shortcut) {
      EXPECT_EQ(exists(menu_dir() + "\\" + p.shortcut + ".lnk"), built_here(p));
    }
  }

  char url[512] = {};
  GetPrivateProfileStringA("InternetShortcut", "URL", "", url, sizeof url, feedback_file().c_str());
  EXPECT_STREQ(url, sv::k_FEEDBACK_URL);

  // The log folder exists and a user's process can make the log file in it.
  std::string log = log_dir() + "\\" + sv::k_LOG_FILE;
  HANDLE f = CreateFileA(log.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(f, INVALID_HANDLE_VALUE);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  DeleteFileA(log.c_str());

  Value location = read_value(kUninstallKey, "InstallLocation");
  EXPECT_EQ(location.text(), dir);
  EXPECT_NE(read_value(kUninstallKey, "UninstallString").text().find(sv::k_UNINSTALLER), std::string::npos);
}

// The stored values, byte for byte, read as the records of tessary.h.
TEST_F(InstalledTest, StoredValuesHaveTheRecordLayouts) {
  Value proto = read_value(kBaseKey + "\\Protocols", "0");
  ASSERT_TRUE(proto.found);
  EXPECT_EQ(proto.type, (DWORD)REG_BINARY);
  ASSERT_EQ(proto.bytes.size(), sizeof(PFW_PROTO_RECORD));
  EXPECT_EQ(memcmp(proto.bytes.data(), sv::k_PROTO_ANY_RECORD, sizeof(PFW_PROTO_RECORD)), 0);
  const auto* p = (const PFW_PROTO_RECORD*)proto.bytes.data();
  EXPECT_EQ(p->key, 0u);
  EXPECT_EQ(p->any, 1);
  EXPECT_STREQ(p->name, "Any Protocol");

  Value adr = read_value(kBaseKey + "\\Addresses", "0");
  ASSERT_TRUE(adr.found);
  EXPECT_EQ(adr.type, (DWORD)REG_BINARY);
  ASSERT_EQ(adr.bytes.size(), sizeof(PFW_ADR_RECORD));
  EXPECT_EQ(memcmp(adr.bytes.data(), sv::k_ADR_ANY_RECORD, sizeof(PFW_ADR_RECORD)), 0);
  const auto* a = (const PFW_ADR_RECORD*)adr.bytes.data();
  EXPECT_EQ(a->key, 0u);
  EXPECT_EQ(a->any, 1);
  EXPECT_STREQ(a->name, "Any Address");

  Value app = read_value(kBaseKey + "\\Applications", "0");
  ASSERT_TRUE(app.found);
  EXPECT_EQ(app.type, (DWORD)REG_BINARY);
  ASSERT_EQ(app.bytes.size(), sizeof(PFW_APP_RECORD));
  EXPECT_EQ(memcmp(app.bytes.data(), sv::k_APP_ANY_RECORD, sizeof(PFW_APP_RECORD)), 0);
  const auto* ap = (const PFW_APP_RECORD*)app.bytes.data();
  EXPECT_EQ(ap->key, 0u);
  EXPECT_EQ(ap->any, 1);
  EXPECT_STREQ(ap->description, "Any Application");

  Value active = read_value(kRulesKey, PFW_VALUE_ACTIVE_RULE_SET);
  EXPECT_EQ(active.type, (DWORD)REG_SZ);
  EXPECT_EQ(active.text(), sv::k_RULE_SET_NAME);
  EXPECT_LT(active.text().size(), (size_t)PFW_RULE_SET_NAME_SIZE);

  // Exactly the two default rules and the log file name; the rules come first.
  std::vector<std::string> names = value_names(kRuleSetKey);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], "0,0,0,0");
  EXPECT_EQ(names[1], "0,0,0,1");
  EXPECT_EQ(names[2], PFW_VALUE_LOG_FILE);
  struct Expected {
    const char* name;
    int direction, action;
  } defaults[] = {{"0,0,0,0", PFW_INBOUND, PFW_DENY}, {"0,0,0,1", PFW_OUTBOUND, PFW_ASK}};
  for (const auto& d : defaults) {
    SCOPED_TRACE(d.name);
    Value rule = read_value(kRuleSetKey, d.name);
    EXPECT_EQ(rule.type, (DWORD)REG_BINARY);
    ASSERT_EQ(rule.bytes.size(), sizeof(PFW_RULE_RECORD));
    const auto* r = (const PFW_RULE_RECORD*)rule.bytes.data();
    EXPECT_EQ(r->protocol_key, 0u);
    EXPECT_EQ(r->address_key, 0u);
    EXPECT_EQ(r->app_key, 0u);
    EXPECT_EQ(r->direction, d.direction);
    EXPECT_EQ(r->action, d.action);
    EXPECT_EQ(r->log, 1);
  }

  Value log = read_value(kRuleSetKey, PFW_VALUE_LOG_FILE);
  EXPECT_EQ(log.type, (DWORD)REG_SZ);
  EXPECT_EQ(log.text(), log_dir() + "\\" + sv::k_LOG_FILE);
  EXPECT_LT(log.text().size(), (size_t)PFW_LOG_PATH_SIZE);
  EXPECT_TRUE(exists(log_dir()));

  Value edictor = read_value(kRulesKey, PFW_VALUE_EDICTOR_PATH);
  EXPECT_EQ(edictor.type, (DWORD)REG_SZ);
  EXPECT_EQ(edictor.text(), install_dir() + "\\" + sv::k_EDICTOR_PROGRAM);
  EXPECT_LT(edictor.text().size(), (size_t)PFW_EDICTOR_PATH_SIZE);

  // Options: unlocked, Filter, and an empty password stored scrambled, which leaves
  // no byte of the password field zero.
  Value options = read_value(kRulesKey, PFW_VALUE_OPTIONS);
  EXPECT_EQ(options.type, (DWORD)REG_BINARY);
  ASSERT_EQ(options.bytes.size(), sizeof(PFW_OPTIONS));
  EXPECT_EQ(memcmp(options.bytes.data(), sv::k_OPTIONS_RECORD, sizeof(PFW_OPTIONS)), 0);
  const auto* o = (const PFW_OPTIONS*)options.bytes.data();
  EXPECT_EQ(o->lock_status, 0);
  EXPECT_EQ(o->run_mode, PFW_MODE_FILTER);
  EXPECT_EQ(o->timer_active, 0);
  for (int i = 0; i < PFW_PASSWORD_SIZE; ++i) {
    unsigned char stored = (unsigned char)o->password[i];
    EXPECT_NE(stored, 0) << "password byte " << i;
    EXPECT_EQ(stored ^ PFW_SCRAMBLE_BYTE ^ (PFW_PASSWORD_SIZE - i), 0) << "password byte " << i;
  }
}

// The library, loading into empty lists, finds exactly the starting rule set.
TEST_F(InstalledTest, LoadGivesTheStartingRuleSet) {
  PFW_PROTO_ROOT* protocols = PFW_CreateProtocolList();
  PFW_ADR_ROOT* addresses = PFW_CreateAddressList();
  PFW_APP_ROOT* apps = PFW_CreateAppList();
  PFW_RULE_ROOT* rules = PFW_CreateRuleList();
  ASSERT_TRUE(protocols && addresses && apps && rules);
  ASSERT_EQ(rules->count, 0);
  EXPECT_EQ(PFW_LoadProtocolSetFromRegistry(protocols), 1);
  EXPECT_EQ(PFW_LoadAddressSetFromRegistry(addresses), 1);
  EXPECT_EQ(PFW_LoadApplicationSetFromRegistry(apps), 1);
  EXPECT_EQ(PFW_LoadRuleSetFromRegistry(rules), 1);

  EXPECT_EQ(protocols->count, 1);
  EXPECT_EQ(protocols->next_key, 1u);
  EXPECT_EQ(protocols->any_key, 0u);
  PFW_PROTO proto;
  ASSERT_NE(PFW_GetProtocolByIndex(protocols, 0, &proto), nullptr);
  EXPECT_EQ(proto.any, 1);
  EXPECT_STREQ(proto.name, sv::k_PROTO_ANY_NAME);
  EXPECT_STREQ(proto.key_text, PFW_ANY_PROTOCOL_TEXT);

  EXPECT_EQ(addresses->count, 1);
  EXPECT_EQ(addresses->any_key, 0u);
  PFW_ADR adr;
  ASSERT_NE(PFW_GetAddressByIndex(addresses, 0, &adr), nullptr);
  EXPECT_EQ(adr.any, 1);
  EXPECT_STREQ(adr.name, sv::k_ADR_ANY_NAME);
  EXPECT_STREQ(adr.key_text, PFW_ANY_ADDRESS_TEXT);

  EXPECT_EQ(apps->count, 1);
  EXPECT_EQ(apps->any_key, 0u);
  PFW_APP app;
  ASSERT_NE(PFW_GetAppByIndex(apps, 0, &app), nullptr);
  EXPECT_EQ(app.any, 1);
  EXPECT_STREQ(app.name, sv::k_APP_ANY_NAME);
  EXPECT_STREQ(app.description, sv::k_APP_ANY_DESCRIPTION);
  EXPECT_STREQ(app.key_text, PFW_ANY_APP_TEXT);

  // Rule keys 0 and 1 are the inbound and outbound defaults, and nothing else loads.
  EXPECT_EQ(rules->count, 2);
  EXPECT_EQ(PFW_GetRuleByIndex(rules, 2, nullptr), nullptr);
  const sv::Rule defaults[] = {sv::k_RULE_INBOUND, sv::k_RULE_OUTBOUND};
  for (int key = 0; key < 2; ++key) {
    const sv::Rule& expected = defaults[key];
    SCOPED_TRACE(expected.value_name);
    PFW_RULE rule;
    ASSERT_NE(PFW_GetRuleByIndex(rules, key, &rule), nullptr);
    EXPECT_EQ(rule.protocol_key, 0u);
    EXPECT_EQ(rule.address_key, 0u);
    EXPECT_EQ(rule.app_key, 0u);
    EXPECT_EQ(rule.direction, expected.direction);
    EXPECT_EQ(rule.action, expected.action);
    EXPECT_EQ(rule.log, 1);
  }

  // With only the starting rule set, the defaults govern every connection.
  int key = -1;
  PFW_RULE governing;
  ASSERT_NE(PFW_GetRule(rules, addresses, protocols, apps, 80, PFW_TCP, ipv4(10, 1, 2, 3), "BROWSER.EXE", PFW_OUTBOUND,
                        &key, &governing),
            nullptr);
  EXPECT_EQ(key, 1);
  EXPECT_EQ(governing.action, PFW_ASK);
  ASSERT_NE(PFW_GetRule(rules, addresses, protocols, apps, 139, PFW_UDP, ipv4(192, 168, 0, 7), "", PFW_INBOUND, &key,
                        &governing),
            nullptr);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(governing.action, PFW_DENY);

  PFW_OPTIONS options;
  memset(&options, 0x5A, sizeof options);
  ASSERT_EQ(PFW_GetOptionsFromRegistry(&options), 1);
  EXPECT_EQ((uint32_t)options.lock_status, sv::k_OPT_LOCK_STATUS);
  EXPECT_STREQ(options.password, sv::k_OPT_PASSWORD);
  EXPECT_EQ((uint32_t)options.run_mode, sv::k_OPT_RUN_MODE);
  EXPECT_EQ((uint32_t)options.log_fully_armed, sv::k_OPT_LOG_FULLY_ARMED);
  EXPECT_EQ((uint32_t)options.log_stand_by, sv::k_OPT_LOG_STAND_BY);
  EXPECT_EQ((uint32_t)options.timer_active, sv::k_OPT_TIMER_ACTIVE);
  EXPECT_EQ((uint32_t)options.timer_countdown, sv::k_OPT_TIMER_COUNTDOWN);
  EXPECT_EQ((uint32_t)options.log_allow, sv::k_OPT_LOG_ALLOW);
  EXPECT_EQ((uint32_t)options.log_deny, sv::k_OPT_LOG_DENY);

  char* log = PFW_GetLogFileNameFromRegistry();
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(std::string(log), log_dir() + "\\" + sv::k_LOG_FILE);
  PFW_FreeBuffer(log);
  char* edictor = PFW_GetEdictorPathFromRegistry();
  ASSERT_NE(edictor, nullptr);
  EXPECT_EQ(std::string(edictor), install_dir() + "\\" + sv::k_EDICTOR_PROGRAM);
  PFW_FreeBuffer(edictor);

  PFW_RemoveRuleList(rules);
  PFW_RemoveAppList(apps);
  PFW_RemoveAddressList(addresses);
  PFW_RemoveProtocolList(protocols);
}

// The wizard's entry points rely on the installed wildcard entries: protocol key 0 and
// address key 0 stand for "any", and neither may be mistaken for a real service or for
// the local host when the wizard looks those up.
TEST_F(InstallTest, WizardEntryPointsBuildOnTheInstalledSet) {
  char path[PFW_EDICTOR_PATH_SIZE] = {};
  ASSERT_EQ(SW_Startup(path), 1);
  EXPECT_EQ(std::string(path), install_dir() + "\\" + sv::k_EDICTOR_PROGRAM);
  EXPECT_EQ(SW_AddRule("Web browser", "BROWSER.EXE", "HTTP", 80, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 0), 1);
  EXPECT_EQ(SW_AddRule("Print spooler", "SPOOL.EXE", "", 0, PFW_TCP, PFW_INBOUND, PFW_DENY, 1), 1);
  EXPECT_EQ(SW_Shutdown(), 1);

  // New entries take the keys after the wildcards'.
  Value http = read_value(kBaseKey + "\\Protocols", "1");
  ASSERT_EQ(http.bytes.size(), sizeof(PFW_PROTO_RECORD));
  EXPECT_STREQ(((const PFW_PROTO_RECORD*)http.bytes.data())->name, "HTTP");
  Value local = read_value(kBaseKey + "\\Addresses", "1");
  ASSERT_EQ(local.bytes.size(), sizeof(PFW_ADR_RECORD));
  EXPECT_STREQ(((const PFW_ADR_RECORD*)local.bytes.data())->name, "Local Host");
  EXPECT_TRUE(read_value(kBaseKey + "\\Applications", "1").found);
  EXPECT_TRUE(read_value(kBaseKey + "\\Applications", "2").found);
  // Browser: HTTP, any address; spooler: any protocol, the local host.
  EXPECT_TRUE(read_value(kRuleSetKey, "1,0,1,1").found);
  EXPECT_TRUE(read_value(kRuleSetKey, "0,1,2,0").found);
  // The defaults are untouched.
  EXPECT_EQ(read_value(kRuleSetKey, "0,0,0,0").bytes,
            std::vector<unsigned char>(std::begin(sv::k_RULE_INBOUND_RECORD), std::end(sv::k_RULE_INBOUND_RECORD)));
  EXPECT_EQ(read_value(kRuleSetKey, "0,0,0,1").bytes,
            std::vector<unsigned char>(std::begin(sv::k_RULE_OUTBOUND_RECORD), std::end(sv::k_RULE_OUTBOUND_RECORD)));
}

// Installing again over a machine that has a rule set keeps the user's rules, options
// and log file name, and only points "EdictorPath" at the new program.
TEST_F(InstallTest, ReinstallKeepsTheUsersRuleSet) {
  PFW_RULE_RECORD allow_out = {0, 0, 0, PFW_OUTBOUND, PFW_ALLOW, 0};
  write_binary(kRuleSetKey, "0,0,0,1", &allow_out, sizeof allow_out);
  PFW_RULE_RECORD users_rule = {3, 0, 0, PFW_OUTBOUND, PFW_DENY, 1};
  write_binary(kRuleSetKey, "3,0,0,1", &users_rule, sizeof users_rule);
  PFW_OPTIONS options = {};
  ASSERT_EQ(PFW_GetOptionsFromRegistry(&options), 1);
  options.lock_status = 1;
  strcpy(options.password, "secret");
  ASSERT_EQ(PFW_SetOptionsInRegistry(options), 1);
  ASSERT_EQ(PFW_SetLogFileNameInRegistry("C:\\elsewhere.log"), 1);
  HKEY rules_key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRulesKey.c_str(), 0, KEY_SET_VALUE, &rules_key), ERROR_SUCCESS);
  RegSetValueExA(rules_key, PFW_VALUE_EDICTOR_PATH, 0, REG_SZ, (const BYTE*)"C:\\old\\edictor.exe", 19);
  RegCloseKey(rules_key);

  ASSERT_EQ(install(), 0);

  Value out = read_value(kRuleSetKey, "0,0,0,1");
  ASSERT_EQ(out.bytes.size(), sizeof(PFW_RULE_RECORD));
  EXPECT_EQ(((const PFW_RULE_RECORD*)out.bytes.data())->action, PFW_ALLOW);
  EXPECT_TRUE(read_value(kRuleSetKey, "3,0,0,1").found);
  PFW_OPTIONS kept = {};
  ASSERT_EQ(PFW_GetOptionsFromRegistry(&kept), 1);
  EXPECT_EQ(kept.lock_status, 1);
  EXPECT_STREQ(kept.password, "secret");
  EXPECT_EQ(read_value(kRuleSetKey, PFW_VALUE_LOG_FILE).text(), "C:\\elsewhere.log");
  EXPECT_EQ(read_value(kRulesKey, PFW_VALUE_EDICTOR_PATH).text(), install_dir() + "\\" + sv::k_EDICTOR_PROGRAM);
}

TEST_F(InstallTest, UninstallRemovesKeysFilesAndShortcuts) {
  ASSERT_EQ(uninstall(), 0);
  EXPECT_FALSE(key_exists(kBaseKey));
  EXPECT_FALSE(key_exists(kVelmoraKey));
  EXPECT_FALSE(key_exists(kUninstallKey));
  std::string dir = install_dir();
  EXPECT_FALSE(exists(dir + "\\" + sv::k_LIBRARY));
  for (const auto& p : sv::kPrograms) {
    SCOPED_TRACE(p.file);
    EXPECT_FALSE(exists(dir + "\\" + p.file));
  }
  EXPECT_FALSE(exists(menu_dir())) << "left in it: " << ::testing::PrintToString(files_in(menu_dir()));
  EXPECT_FALSE(exists(feedback_file()));
  EXPECT_FALSE(exists(log_dir()));
  // Run in place, the uninstaller cannot remove itself; everything else is gone.
  EXPECT_EQ(files_in(dir), std::vector<std::string>{sv::k_UNINSTALLER});
}

// The connection log is the user's record of what happened: uninstalling keeps it.
TEST_F(InstallTest, UninstallKeepsTheConnectionLog) {
  std::string log = log_dir() + "\\" + sv::k_LOG_FILE;
  HANDLE f = CreateFileA(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(f, "a line\r\n", 8, &written, nullptr);
  CloseHandle(f);
  ASSERT_EQ(uninstall(), 0);
  EXPECT_TRUE(exists(log));
  EXPECT_FALSE(key_exists(kVelmoraKey));
}

// --- The install folder and what the uninstaller removes ------------------------------

// A folder under Program Files whose Edictor path has exactly `length` characters.
std::string folder_with_edictor_path(size_t length) {
  std::string base = folder(CSIDL_PROGRAM_FILES) + "\\TwTest\\";
  size_t rest = length - base.size() - 1 - strlen(sv::k_EDICTOR_PROGRAM);
  return base + std::string(rest, 'x');
}

// An uninstaller run as a user runs it copies itself to a "~nsu" folder under the temporary
// folder and goes on from there: its work is done only when that copy has ended.
bool uninstaller_copy_running() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  bool running = false;
  for (BOOL more = Process32First(snap, &entry); more && !running; more = Process32Next(snap, &entry)) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    if (!process) continue;
    char image[MAX_PATH] = "";
    DWORD size = sizeof image;
    if (QueryFullProcessImageNameA(process, 0, image, &size)) running = strstr(image, "~nsu") != nullptr;
    CloseHandle(process);
  }
  CloseHandle(snap);
  return running;
}

class InstallFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { wipe(); }
  void TearDown() override {
    wipe();
    RemoveDirectoryA((folder(CSIDL_PROGRAM_FILES) + "\\TwTest").c_str());
  }
};

TEST_F(InstallFolderTest, AFolderTooLongForTheEdictorPathIsRefused) {
  std::string too_long = folder_with_edictor_path(PFW_EDICTOR_PATH_SIZE);  // 255: no room for the NUL
  EXPECT_NE(run(command(here() + "\\" + sv::k_SETUP_FILE, "/S /D=" + too_long)), 0);
  EXPECT_FALSE(exists(too_long));
  EXPECT_FALSE(key_exists(kVelmoraKey));

  // 254 characters fit, and the Edictor's path reads back whole.
  std::string longest = folder_with_edictor_path(PFW_EDICTOR_PATH_SIZE - 1);
  ASSERT_EQ(run(command(here() + "\\" + sv::k_SETUP_FILE, "/S /D=" + longest)), 0);
  char* path = PFW_GetEdictorPathFromRegistry();
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(std::string(path), longest + "\\" + sv::k_EDICTOR_PROGRAM);
  PFW_FreeBuffer(path);
  EXPECT_EQ(run(command(longest + "\\" + sv::k_UNINSTALLER, "/S _?=" + longest)), 0);
  DeleteFileA((longest + "\\" + sv::k_UNINSTALLER).c_str());
  RemoveDirectoryA(longest.c_str());
}

// A name the 8-bit programs would read back garbled: refused, nothing installed.
TEST_F(InstallFolderTest, AFolderOutsideTheAnsiCodePageIsRefused) {
  std::wstring folder_name = widen(folder(CSIDL_PROGRAM_FILES)) + L"\\TwTest\\\u03A9\u0416\u4E2D";
  BOOL lossy = FALSE;
  char probe[MAX_PATH];
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, folder_name.c_str(), -1, probe, sizeof probe, nullptr, &lossy);
  ASSERT_TRUE(lossy) << "this machine's code page holds the test's characters";
  std::wstring setup = widen(here() + "\\" + sv::k_SETUP_FILE);
  EXPECT_NE(run_wide(L"\"" + setup + L"\" /S /D=" + folder_name), 0);
  EXPECT_EQ(GetFileAttributesW(folder_name.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(key_exists(kVelmoraKey));
}

// A maker's folder that was there before the installation is not the uninstaller's to
// remove, even empty; the folders the installation made go with it.
TEST_F(InstallFolderTest, UninstallRemovesOnlyTheFoldersItsInstallationMade) {
  std::string dir = install_dir();
  std::string parent = dir.substr(0, dir.find_last_of('\\'));
  for (bool parent_was_there : {false, true}) {
    SCOPED_TRACE(parent_was_there ? "the maker's folder was there" : "a machine without it");
    if (parent_was_there) {
      ASSERT_TRUE(CreateDirectoryA(parent.c_str(), nullptr));
    }
    ASSERT_EQ(install(), 0);
    // Run as a user would: it copies itself away, so its end is the install folder's.
    ASSERT_EQ(run(command(dir + "\\" + sv::k_UNINSTALLER, "/S")), 0);
    ASSERT_TRUE(WaitUntil([&] { return !exists(dir) && !uninstaller_copy_running(); }, 30000))
        << "waited 30 s for " << dir << " to go and the uninstaller's copy to end";
    EXPECT_EQ(exists(parent), parent_was_there);
    wipe();
  }
}

// Files in use would stay behind: the uninstaller ends the running monitor and editor
// through their own quit paths first.
TEST_F(InstallTest, UninstallEndsTheRunningMonitorAndEditor) {
  std::string dir = install_dir();
  auto start = [&](const char* program) -> HANDLE {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + dir + "\\" + program + "\"";
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi))
      return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
  };
  HANDLE monitor = start("wayguard.exe");
  HANDLE editor = start("edictor.exe");
  ASSERT_TRUE(monitor && editor);
  EXPECT_TRUE(WaitUntil([] { return FindWindowA("#32770", "Tarnwall Wayguard") != nullptr; }, 30000))
      << "waited 30 s for the monitor's window";
  EXPECT_TRUE(WaitUntil([] { return FindWindowA("TarnwallEdictorFrame", nullptr) != nullptr; }, 30000))
      << "waited 30 s for the editor's window";

  EXPECT_EQ(uninstall(), 0);
  EXPECT_EQ(WaitForSingleObject(monitor, 0), WAIT_OBJECT_0) << "the monitor still runs";
  EXPECT_EQ(WaitForSingleObject(editor, 0), WAIT_OBJECT_0) << "the editor still runs";
  EXPECT_FALSE(exists(dir + "\\wayguard.exe"));
  EXPECT_FALSE(exists(dir + "\\edictor.exe"));
  for (HANDLE p : {monitor, editor}) {
    if (WaitForSingleObject(p, 0) != WAIT_OBJECT_0) TerminateProcess(p, 1);
    CloseHandle(p);
  }
}

}  // namespace
