// store_fixture.h - a test fixture that owns the four lists for one test.
#ifndef TARNWALL_STORE_FIXTURE_H
#define TARNWALL_STORE_FIXTURE_H

#include <gtest/gtest.h>
#include <winsock2.h>

#include <string>

#include "list_set.h"
#include "tessary.h"

// Dotted address to network byte order, without WinSock start-up.
unsigned long ip(const char* dotted);

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Reads the semaphore's count without changing it: 1 = free.
  static long semaphore_count(const char* name);
  // Lets go of the four lists and creates or joins them again; true when all four are there.
  bool reopen_lists();

  tessary::ListSet lists_;
  // lists_'s roots, as the tests name them.
  PFW_PROTO_ROOT* protocols = nullptr;
  PFW_ADR_ROOT* addresses = nullptr;
  PFW_APP_ROOT* apps = nullptr;
  PFW_RULE_ROOT* rules = nullptr;
};

// Starts a program beside the test and waits for it; returns its exit code.
int run_helper(const std::string& command_line, DWORD timeout_ms = 60000);
// Starts it and returns at once with its process handle.
HANDLE start_helper(const std::string& command_line);

#endif
