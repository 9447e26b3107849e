# add_rules.exe run as a user runs it, against an installed rule set.

add_executable(test_add_rules test_add_rules.cpp registry_fixture.cpp store_fixture.cpp traffic_consumer.cpp)
target_link_libraries(test_add_rules PRIVATE tessary gtest gtest_main advapi32 user32)
add_dependencies(test_add_rules add_rules)
# Tests are found in the sources: listing them would mean one more Wine start per build.
tarnwall_add_cases(test_add_rules logic)
