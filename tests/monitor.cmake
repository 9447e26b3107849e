# Wayguard, the connection monitor: its rules and the prompt's without a window (a ctest
# test per case), its windows in the test's own process (a process per suite), and the real
# program (a test per case).
if(TARGET wayguard_core)
  add_library(monitor_fixture STATIC dialog_script.cpp monitor_fixture.cpp registry_fixture.cpp store_fixture.cpp)
  target_link_libraries(monitor_fixture PUBLIC wayguard_core gtest)

  add_executable(test_monitor_rules test_monitor_rules.cpp test_prompt_rules.cpp)
  target_link_libraries(test_monitor_rules PRIVATE wayguard_core gtest gtest_main)
  tarnwall_add_cases(test_monitor_rules logic)

  add_executable(test_monitor test_monitor.cpp ${WAYGUARD_RC})
  target_link_libraries(test_monitor PRIVATE monitor_fixture gtest_main)
  tarnwall_add_suites(test_monitor window MonitorTest MonitorStartup)

  add_executable(test_monitor_options test_monitor_options.cpp ${WAYGUARD_RC})
  target_link_libraries(test_monitor_options PRIVATE monitor_fixture gtest_main)
  tarnwall_add_suites(test_monitor_options window OptionsTest)
endif()

# The real wayguard.exe, started beside the test and from an installation.
if(TARGET wayguard)
  add_executable(test_monitor_program test_monitor_program.cpp traffic_consumer.cpp store_fixture.cpp)
  target_include_directories(test_monitor_program PRIVATE ${PROJECT_SOURCE_DIR}/resources)
  target_link_libraries(test_monitor_program PRIVATE tessary gtest gtest_main shell32)
  add_dependencies(test_monitor_program wayguard interceptor)
  if(TARGET tarnwall_setup)
    add_dependencies(test_monitor_program tarnwall_setup)
  endif()
  tarnwall_add_cases(test_monitor_program process)
endif()
