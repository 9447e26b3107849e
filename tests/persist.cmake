# Tessary's registry persistence and the setup wizard's entry points.

foreach(name test_registry test_setup)
  add_executable(${name} ${name}.cpp registry_fixture.cpp store_fixture.cpp)
  target_link_libraries(${name} PRIVATE tessary gtest gtest_main advapi32)
  # Tests are found in the sources: listing them would mean one more Wine start per build.
  tarnwall_add_cases(${name} logic)
endforeach()
