# The prompt channel between the interceptor and the monitor.

add_executable(prompt_helper prompt_helper.cpp)
target_link_libraries(prompt_helper PRIVATE tessary)

add_executable(test_prompt test_prompt.cpp store_fixture.cpp)
target_link_libraries(test_prompt PRIVATE tessary gtest gtest_main)
add_dependencies(test_prompt prompt_helper)
# Tests are found in the sources: listing them would mean one more Wine start per build.
tarnwall_add_cases(test_prompt process)
