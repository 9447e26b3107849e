# Kindler, the setup wizard: its readers, its save into the real rule store, its pages in
# process, and the installed wizard end to end.
include(GoogleTest)

if(TARGET kindler_core)
  add_executable(test_wizard_lists test_wizard_lists.cpp)
  target_link_libraries(test_wizard_lists PRIVATE kindler_lists gtest gtest_main)
  gtest_add_tests(TARGET test_wizard_lists WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endif()

if(TARGET kindler_core)
  add_executable(test_wizard_save test_wizard_save.cpp registry_fixture.cpp store_fixture.cpp)
  target_link_libraries(test_wizard_save PRIVATE kindler_core tessary gtest gtest_main advapi32)
  gtest_add_tests(TARGET test_wizard_save WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endif()

if(TARGET kindler_core)
  add_executable(test_wizard_pages test_wizard_pages.cpp registry_fixture.cpp store_fixture.cpp
                 ${CMAKE_SOURCE_DIR}/resources/kindler.rc)
  target_link_libraries(test_wizard_pages PRIVATE kindler_core tessary gtest gtest_main advapi32)
  gtest_add_tests(TARGET test_wizard_pages WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endif()

if(TARGET kindler_core AND TARGET tarnwall_setup)
  add_executable(test_wizard_e2e test_wizard_e2e.cpp)
  target_include_directories(test_wizard_e2e PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/resources)
  target_link_libraries(test_wizard_e2e PRIVATE tessary gtest gtest_main shell32 advapi32 comctl32)
  add_dependencies(test_wizard_e2e tarnwall_setup kindler)
  gtest_add_tests(TARGET test_wizard_e2e WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endif()
