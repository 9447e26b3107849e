# Tessary's shared lists: one process, two processes, and the rule lookup's scoring.

# The second process of the list tests.
add_executable(list_helper list_helper.cpp)
target_link_libraries(list_helper PRIVATE tessary)

add_executable(test_lists test_lists.cpp test_lists_rules.cpp test_processes.cpp store_fixture.cpp)
target_link_libraries(test_lists PRIVATE tessary gtest gtest_main)
add_dependencies(test_lists list_helper)
# Tests are found in the sources: listing them would mean one more Wine start per build.
tarnwall_add_cases(test_lists logic)
tarnwall_label_suites(process ListsProcessTest)
