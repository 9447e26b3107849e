// test_lists_fixture.h - the store fixture with what the list tests check after
// nearly every step: all four semaphores free and every list's links sound.
#ifndef TARNWALL_TEST_LISTS_FIXTURE_H
#define TARNWALL_TEST_LISTS_FIXTURE_H

#include "store_fixture.h"
#include "test_lists_walk.h"

class ListsTest : public StoreTest {
 protected:
  // Every operation releases its semaphore on every path.
  void expect_locks_free(const char* after) {
    for (const char* name :
         {PFW_PROTOCOL_SEMAPHORE_NAME, PFW_ADDRESS_SEMAPHORE_NAME, PFW_APP_SEMAPHORE_NAME, PFW_RULE_SEMAPHORE_NAME})
      EXPECT_EQ(1, semaphore_count(name)) << name << " after " << after;
  }

  void expect_sound(const char* after) {
    EXPECT_EQ("", walk_list<PFW_PROTO>(protocols).problem) << "protocols after " << after;
    EXPECT_EQ("", walk_list<PFW_ADR>(addresses).problem) << "addresses after " << after;
    EXPECT_EQ("", walk_list<PFW_APP>(apps).problem) << "applications after " << after;
    EXPECT_EQ("", walk_list<PFW_RULE>(rules).problem) << "rules after " << after;
  }

  // The three wildcard entries as installed, each with key 0.
  void install_wildcards() {
    ASSERT_EQ(1, PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0, 0));
    ASSERT_EQ(1, PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS, 0));
    ASSERT_EQ(1, PFW_AddApp(apps, 1, "", "Any Application", 0));
  }
};

// The key texts of the linked entries, newest first.
template <typename Entry>
std::vector<std::string> linked_texts(const ListWalk<Entry>& w) {
  std::vector<std::string> out;
  for (const Entry& e : w.linked) out.push_back(e.key_text);
  return out;
}

#endif
