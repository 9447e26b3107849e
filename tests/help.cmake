# The help file: read back by a reader of its own and shown by the system's help
# viewer; the compiler's refusals of bad sources.
include(GoogleTest)
find_package(Python3 COMPONENTS Interpreter)

if(TARGET tarnwall_help)
  add_executable(test_help test_help.cpp)
  target_include_directories(test_help PRIVATE ${CMAKE_SOURCE_DIR}/resources/help)
  target_link_libraries(test_help PRIVATE winui gtest gtest_main)
  add_dependencies(test_help tarnwall_help)
  gtest_add_tests(TARGET test_help WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  add_test(NAME help_compiler COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/test_make_help.py
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
endif()
