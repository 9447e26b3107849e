// registry_fixture.h - a registry tree like the installed one, made afresh for each test.
//
// The tests share the Wine prefix's registry with other test programs, so the
// maker's key is removed after every test, and one that was there before the
// program started is put back when it ends.
#ifndef TARNWALL_REGISTRY_FIXTURE_H
#define TARNWALL_REGISTRY_FIXTURE_H

#include <string>
#include <vector>

#include "store_fixture.h"

namespace regtest {

extern const char* const kBase;       // SOFTWARE\<maker>\<product>\1.0
extern const char* const kProtocols;  // ...\Protocols
extern const char* const kAddresses;  // ...\Addresses
extern const char* const kApps;       // ...\Applications
extern const char* const kRules;      // ...\Rules
extern const char* const kRuleSet;    // ...\Rules\<active set>
extern const char* const kRuleSetName;
extern const char* const kEdictorPath;

// Raw access below HKEY_LOCAL_MACHINE, for arranging and checking what the library sees.
bool key_exists(const char* path);
bool write_value(const char* path, const char* name, DWORD type, const void* data, DWORD size);
bool write_string(const char* path, const char* name, const char* text);
bool delete_value(const char* path, const char* name);
bool value_exists(const char* path, const char* name);
// The value's bytes and type; false when missing.
bool read_value(const char* path, const char* name, std::vector<unsigned char>* data, DWORD* type = nullptr);
// Value names in the order this registry enumerates them.
std::vector<std::string> value_names(const char* path);
void delete_maker_key();
// Empty keys of the installed layout with the active set's name, made afresh.
void make_layout();
// How many of the four list semaphores are free now.
int free_list_semaphores();

// The installed starting set: the three wildcard entries (key 0 each), the
// inbound and outbound default rules, the active set's name and Edictor's path.
void install_starting_set();

}  // namespace regtest

// Empty keys of the installed layout, nothing loaded; removed again after the test.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// The same with the four lists held by the test.
class PersistTest : public StoreTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

#endif
