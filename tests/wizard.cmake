# Kindler, the setup wizard: its readers, its save into the real rule store, its page
# decisions, its window in process (one process for the suite), and the installed wizard
# end to end.

if(TARGET kindler_core)
  add_executable(test_wizard_lists test_wizard_lists.cpp)
  target_link_libraries(test_wizard_lists PRIVATE kindler_lists gtest gtest_main)
  tarnwall_add_cases(test_wizard_lists logic)
endif()

if(TARGET kindler_core)
  add_executable(test_wizard_save test_wizard_save.cpp registry_fixture.cpp store_fixture.cpp)
  target_link_libraries(test_wizard_save PRIVATE kindler_core tessary gtest gtest_main advapi32)
  tarnwall_add_cases(test_wizard_save logic)
endif()

if(TARGET kindler_core)
  # Where Next and Back lead, what each page shows: the wizard's decisions, no window.
  add_executable(test_wizard_flow test_wizard_flow.cpp)
  target_link_libraries(test_wizard_flow PRIVATE kindler_core gtest gtest_main)
  tarnwall_add_cases(test_wizard_flow logic)
endif()

if(TARGET kindler_core)
  add_executable(test_wizard_pages test_wizard_pages.cpp dialog_script.cpp registry_fixture.cpp store_fixture.cpp
                 ${CMAKE_SOURCE_DIR}/resources/kindler.rc)
  target_link_libraries(test_wizard_pages PRIVATE kindler_core tessary gtest gtest_main advapi32)
  tarnwall_add_suites(test_wizard_pages window WizardPagesTest)
endif()

if(TARGET kindler_core AND TARGET tarnwall_setup)
  add_executable(test_wizard_e2e test_wizard_e2e.cpp)
  target_include_directories(test_wizard_e2e PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/resources)
  target_link_libraries(test_wizard_e2e PRIVATE tessary gtest gtest_main shell32 advapi32 comctl32)
  add_dependencies(test_wizard_e2e tarnwall_setup kindler)
  tarnwall_add_cases(test_wizard_e2e e2e)
endif()
