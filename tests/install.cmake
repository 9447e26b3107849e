# The installer, run silently under Wine, and its uninstaller. One process per suite: the
# cases that only read share one installation (InstalledTest).

add_executable(test_install test_install.cpp)
target_include_directories(test_install PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(test_install PRIVATE tessary gtest gtest_main shell32)
if(TARGET tarnwall_setup)
  add_dependencies(test_install tarnwall_setup)
endif()
tarnwall_add_suites(test_install e2e InstalledTest InstallTest InstallFolderTest)
