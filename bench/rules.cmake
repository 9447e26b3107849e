# What rules.exe costs on a set at the lists' capacity (1,364 rules).
add_executable(bench_rules bench_rules.cpp)
target_link_libraries(bench_rules PRIVATE rules_format tessary advapi32)
add_dependencies(bench_rules rules)
