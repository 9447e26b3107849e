# Edictor: the decisions without windows (logic, one process per case), the form view and
# the dialogs driven by real window messages inside the test program (window, one process
# per suite), and the real program started and killed (process, one process per case).

if(TARGET edictor_core)
  set(editor_logic test_editor_model.cpp test_editor_entries.cpp test_editor_tree.cpp)
  add_executable(test_editor dialog_script.cpp ${editor_logic} test_editor_view.cpp test_editor_dialogs.cpp
                 test_editor_program.cpp test_editor_commands.cpp test_editor_user.cpp editor_fixture.cpp registry_fixture.cpp store_fixture.cpp ${EDICTOR_RC})
  target_link_libraries(test_editor PRIVATE edictor_core gtest gtest_main advapi32)
  add_dependencies(test_editor edictor)
  if(TARGET tarnwall_help)
    add_dependencies(test_editor tarnwall_help)  # F1 in a dialog opens the real viewer on it
  endif()
  tarnwall_add_cases(test_editor logic ${editor_logic})
  tarnwall_add_cases(test_editor process test_editor_program.cpp)
  tarnwall_add_suites(test_editor window EditorStartup ViewTest DialogTest CommandTest UserTest)
endif()
