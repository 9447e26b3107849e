# How long Edictor takes to show lists filled to capacity, and its store calls per rule shown.
if(TARGET edictor_core)
  add_executable(bench_editor WIN32 bench_editor.cpp ${EDICTOR_RC})
  target_link_libraries(bench_editor PRIVATE edictor_core)
  # A window program that prints: a console program with the GUI subsystem's windows.
  set_target_properties(bench_editor PROPERTIES WIN32_EXECUTABLE OFF)
endif()
