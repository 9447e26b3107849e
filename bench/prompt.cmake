# What asking the user costs: a decision answered by a prompt's rule, and the way to the monitor and back.
add_executable(bench_prompt bench_prompt.cpp)
target_link_libraries(bench_prompt PRIVATE interceptor_core wayguard_core)
