# Wayguard, the connection monitor: its rules without a window, its windows in the test's
# own process, and the real program.
if(TARGET wayguard_core)
    add_library(monitor_fixture STATIC dialog_script.cpp monitor_fixture.cpp registry_fixture.cpp store_fixture.cpp)
  target_link_libraries(monitor_fixture PUBLIC wayguard_core gtest)

  add_executable(test_monitor_rules test_monitor_rules.cpp)
  target_link_libraries(test_monitor_rules PRIVATE wayguard_core gtest gtest_main)
  tarnwall_add_cases(test_monitor_rules logic)

  foreach(name test_monitor test_monitor_options)
    if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp)
      add_executable(${name} ${name}.cpp ${WAYGUARD_RC})
      target_link_libraries(${name} PRIVATE monitor_fixture gtest_main)
      tarnwall_add_cases(${name} window)
    endif()
  endforeach()
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
