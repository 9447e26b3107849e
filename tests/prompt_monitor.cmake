# The monitor's connection prompt: in-process against the prompt channel, and the real
# wayguard.exe asked by the real interceptor.exe.
if(TARGET wayguard_core)
    add_executable(test_prompt_monitor test_prompt_monitor.cpp traffic_consumer.cpp ${WAYGUARD_RC})
  target_link_libraries(test_prompt_monitor PRIVATE monitor_fixture gtest_main)
  add_dependencies(test_prompt_monitor wayguard interceptor prompt_helper)
  if(TARGET edictor)
    add_dependencies(test_prompt_monitor edictor)
  endif()
  tarnwall_add_cases(test_prompt_monitor window)
  tarnwall_label_suites(logic PromptTexts PromptPlacement PromptKeys)
  tarnwall_label_suites(process PromptProgramTest)
endif()
