# The global state block and the stand-in connection interceptor.

add_executable(global_helper global_helper.cpp)
target_link_libraries(global_helper PRIVATE tessary user32)

add_executable(test_global test_global.cpp store_fixture.cpp)
target_link_libraries(test_global PRIVATE tessary gtest gtest_main)
add_dependencies(test_global global_helper)
# Tests are found in the sources: listing them would mean one more Wine start per build.
tarnwall_add_cases(test_global logic)

# The stand-in interceptor's parts, and interceptor.exe against a consumer window.
add_executable(test_interceptor test_interceptor.cpp traffic_consumer.cpp store_fixture.cpp)
target_link_libraries(test_interceptor PRIVATE interceptor_core gtest gtest_main)
add_dependencies(test_interceptor interceptor global_helper)
tarnwall_add_cases(test_interceptor process)
tarnwall_label_suites(logic Handoff AttemptSyntax DecisionTable TrafficLine ExplainTest)
