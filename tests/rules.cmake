# rules.exe: its file reader on its own, and the program run as a user runs it
# against an installed rule set, with the interceptor deciding by what it imported.

add_executable(test_rules test_rules_file.cpp test_rules.cpp registry_fixture.cpp store_fixture.cpp
               traffic_consumer.cpp)
target_link_libraries(test_rules PRIVATE rules_store tessary gtest gtest_main advapi32 user32)
# The installed starting set, as the installer writes it.
target_include_directories(test_rules PRIVATE ${CMAKE_BINARY_DIR}/generated)
add_dependencies(test_rules rules interceptor)
# Tests are found in the sources: listing them would mean one more Wine start per build.
tarnwall_add_cases(test_rules process)
tarnwall_label_suites(logic RulesFile)
