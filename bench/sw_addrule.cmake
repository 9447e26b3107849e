# What one SW_AddRule of the setup wizard costs in time, semaphore holds and registry calls.
add_executable(bench_sw_addrule bench_sw_addrule.cpp)
target_link_libraries(bench_sw_addrule PRIVATE tessary advapi32)
