# Changes to entries already in a list: a rule's action and the three renames,
# alone, against the registry's lasting copy, and raced by two processes.

add_executable(store_edits_helper store_edits_helper.cpp)
target_link_libraries(store_edits_helper PRIVATE tessary)

add_executable(test_store_edits test_store_edits.cpp registry_fixture.cpp store_fixture.cpp)
target_link_libraries(test_store_edits PRIVATE tessary gtest gtest_main advapi32)
add_dependencies(test_store_edits store_edits_helper)
# Tests are found in the sources: listing them would mean one more Wine start per build.
tarnwall_add_cases(test_store_edits logic)
