# What a rule lookup costs: the stepwise reference against the library's lookup.
# The reference lives with the tests; the benchmark builds its own copy of it.
add_executable(bench_lookup bench_lookup.cpp ${PROJECT_SOURCE_DIR}/tests/reference_lookup.cpp)
target_include_directories(bench_lookup PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(bench_lookup PRIVATE tessary)
