# The monitor's connection prompt: in-process against the prompt channel (a process for the
# suite), and the real wayguard.exe asked by the real interceptor.exe (a test per case).
if(TARGET wayguard_core)
  add_executable(test_prompt_monitor test_prompt_monitor.cpp traffic_consumer.cpp ${WAYGUARD_RC})
  target_link_libraries(test_prompt_monitor PRIVATE monitor_fixture gtest_main)
  add_dependencies(test_prompt_monitor prompt_helper)
  tarnwall_add_suites(test_prompt_monitor window MonitorPromptTest)

  add_executable(test_prompt_program test_prompt_program.cpp traffic_consumer.cpp ${WAYGUARD_RC})
  target_link_libraries(test_prompt_program PRIVATE monitor_fixture gtest_main)
  add_dependencies(test_prompt_program wayguard interceptor)
  if(TARGET edictor)
    add_dependencies(test_prompt_program edictor)
  endif()
  tarnwall_add_cases(test_prompt_program process)
endif()
