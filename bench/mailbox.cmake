# Traffic lines per second from interceptor.exe through the mailbox to a consumer window.
add_executable(bench_mailbox bench_mailbox.cpp ${PROJECT_SOURCE_DIR}/tests/traffic_consumer.cpp)
target_include_directories(bench_mailbox PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(bench_mailbox PRIVATE interceptor_core)
add_dependencies(bench_mailbox interceptor)
