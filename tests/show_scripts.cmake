# The main job's bounded waits (scripts/start-and-wait.sh), run natively.
find_program(BASH_FOR_SHOW bash)
if(BASH_FOR_SHOW)
  add_test(NAME start_and_wait_names_what_it_waited_for
           COMMAND ${BASH_FOR_SHOW} ${CMAKE_CURRENT_SOURCE_DIR}/test_start_and_wait.sh)
  set_tests_properties(start_and_wait_names_what_it_waited_for PROPERTIES LABELS logic)
endif()
