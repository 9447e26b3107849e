# Edictor: the rule view model without windows, the form view, the dialogs driven by real
# window messages inside the test program, and the real program started and killed.

if(TARGET edictor_core)
  add_executable(test_editor dialog_script.cpp test_editor_model.cpp test_editor_view.cpp test_editor_dialogs.cpp
                 test_editor_program.cpp test_editor_commands.cpp test_editor_user.cpp editor_fixture.cpp registry_fixture.cpp store_fixture.cpp ${EDICTOR_RC})
  target_link_libraries(test_editor PRIVATE edictor_core gtest gtest_main advapi32)
  add_dependencies(test_editor edictor)
  if(TARGET tarnwall_help)
    add_dependencies(test_editor tarnwall_help)  # F1 in a dialog opens the real viewer on it
  endif()
  tarnwall_add_cases(test_editor window)
  tarnwall_label_suites(logic EditorModel SystemResolver)
  tarnwall_label_suites(process EditorTest)
endif()
