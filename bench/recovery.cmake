# One owner per lock: a hold with and without the companion mutex, a decision with
# its rule named, a holder's death to the next lookup, and the stress run, whose
# worker processes come from the tests.
# The lock pair is built in, to time it apart from the library.
add_executable(bench_recovery bench_recovery.cpp ${PROJECT_SOURCE_DIR}/store/owned_lock.cpp)
target_include_directories(bench_recovery PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/store)
target_link_libraries(bench_recovery PRIVATE tessary advapi32)
add_dependencies(bench_recovery list_worker)
