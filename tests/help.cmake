# The help file: read back by a reader of its own and shown by the system's help
# viewer; the compiler's refusals of bad sources.
find_package(Python3 COMPONENTS Interpreter)

if(TARGET tarnwall_help)
  add_executable(test_help test_help.cpp)
  target_include_directories(test_help PRIVATE ${CMAKE_SOURCE_DIR}/resources/help)
  target_link_libraries(test_help PRIVATE winui gtest gtest_main)
  add_dependencies(test_help tarnwall_help)
  tarnwall_add_cases(test_help logic)
  tarnwall_label_suites(window HelpViewerTest)
  add_test(NAME help_compiler COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/test_make_help.py
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  set_tests_properties(help_compiler PROPERTIES LABELS logic)
endif()
