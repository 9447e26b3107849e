# What the setup wizard's Finish costs with 1,000 rules.
if(TARGET kindler_core)
  add_executable(bench_wizard_finish bench_wizard_finish.cpp)
  target_link_libraries(bench_wizard_finish PRIVATE kindler_core tessary advapi32)
endif()
