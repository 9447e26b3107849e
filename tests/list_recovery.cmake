# The lists' lock with one owner: damaged lists, dead holders, several processes at once.

add_executable(list_worker list_worker.cpp)
target_link_libraries(list_worker PRIVATE tessary)

add_executable(test_list_recovery test_list_recovery.cpp store_fixture.cpp registry_fixture.cpp)
target_link_libraries(test_list_recovery PRIVATE tessary gtest gtest_main advapi32)
add_dependencies(test_list_recovery list_worker)
tarnwall_add_cases(test_list_recovery process)
tarnwall_label_suites(logic ListStructureTest ListOpen)
