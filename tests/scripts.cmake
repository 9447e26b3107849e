# The test command's own scripts: a failed compile must fail build_all.
find_program(BASH_PROGRAM bash)
if(BASH_PROGRAM)
  add_test(NAME build_all_fails_on_broken_compile COMMAND ${BASH_PROGRAM} ${CMAKE_CURRENT_SOURCE_DIR}/test_build_all.sh)
  set_tests_properties(build_all_fails_on_broken_compile PROPERTIES LABELS e2e)
endif()
