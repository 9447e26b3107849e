# The monitor's remembered answers: plain code, no window.
if(TARGET wayguard_core)
  include(GoogleTest)
  add_executable(test_remembered test_remembered.cpp)
  target_link_libraries(test_remembered PRIVATE wayguard_core gtest gtest_main)
  gtest_add_tests(TARGET test_remembered WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endif()
