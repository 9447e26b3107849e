# The help file: nothing here compiles WinHelp files, so scripts/make-help.py (a small
# stand-in of our own) turns resources/help/Tarnwall.txt into bin/Tarnwall.hlp, which
# the installer puts into the Windows directory.
find_package(Python3 COMPONENTS Interpreter)
if(NOT Python3_Interpreter_FOUND)
  message(WARNING "python3 not found: no help file is made (Debian package python3)")
  return()
endif()
set(TARNWALL_HELP_OUTPUT ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Tarnwall.hlp)
add_custom_command(
  OUTPUT ${TARNWALL_HELP_OUTPUT}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make-help.py
          ${CMAKE_SOURCE_DIR}/resources/help/Tarnwall.txt ${TARNWALL_HELP_OUTPUT}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make-help.py ${CMAKE_SOURCE_DIR}/resources/help/Tarnwall.txt
  COMMENT "Compiling Tarnwall.hlp"
  VERBATIM)
add_custom_target(tarnwall_help ALL DEPENDS ${TARNWALL_HELP_OUTPUT})
# The installer takes it from here.
set_property(GLOBAL PROPERTY TARNWALL_HELP_OUTPUT ${TARNWALL_HELP_OUTPUT})
