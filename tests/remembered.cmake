# The monitor's remembered answers: plain code, no window.
if(TARGET wayguard_core)
  add_executable(test_remembered test_remembered.cpp)
  target_link_libraries(test_remembered PRIVATE wayguard_core gtest gtest_main)
  tarnwall_add_cases(test_remembered logic)
endif()
