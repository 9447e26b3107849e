# Traffic lines per second into the real monitor's log file, beside the consumer window.
if(TARGET wayguard)
  add_executable(bench_monitor_log bench_monitor_log.cpp ${PROJECT_SOURCE_DIR}/tests/traffic_consumer.cpp)
  target_include_directories(bench_monitor_log PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(bench_monitor_log PRIVATE interceptor_core wayguard_core)
  add_dependencies(bench_monitor_log interceptor wayguard)
endif()
