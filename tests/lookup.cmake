# The fast rule lookup against the stepwise reference.

add_executable(lookup_churn lookup_churn.cpp)
target_link_libraries(lookup_churn PRIVATE tessary)

add_library(reference_lookup STATIC reference_lookup.cpp)
target_link_libraries(reference_lookup PUBLIC tessary)
target_include_directories(reference_lookup PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

add_executable(test_lookup test_differential.cpp store_fixture.cpp)
target_link_libraries(test_lookup PRIVATE reference_lookup gtest gtest_main)
add_dependencies(test_lookup lookup_churn)
# Tests are found in the sources: listing them would mean one more Wine start per build.
tarnwall_add_cases(test_lookup logic)
# The full sweep of random rule sets runs with the benchmarks (scripts/bench.sh), not
# in the test command; the test command compares the sweep's first few hundred sets.
tarnwall_label_suites(sweep DifferentialSweep)
