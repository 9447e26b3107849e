# The Windows installer, <build>/bin/tarnwall-setup.exe, made with makensis.
#
# The starting values of starting_values.cmake become two generated files:
#   <build>/generated/starting_values.nsh  defines and record bytes that tarnwall.nsi writes
#   <build>/generated/starting_values.h    the same values for the install test
include(${CMAKE_CURRENT_LIST_DIR}/starting_values.cmake)

set(SV_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)

# --- Bytes of the stored records ---------------------------------------------------
# A record is built as a CMake list of byte values (0..255), then printed twice:
# as one hex string for WriteRegBin and as a C++ initialiser.

function(sv_append_u32 record value)
  set(bytes ${${record}})
  foreach(shift 0 8 16 24)
    math(EXPR b "(${value} >> ${shift}) & 0xFF")
    list(APPEND bytes ${b})
  endforeach()
  set(${record} ${bytes} PARENT_SCOPE)
endfunction()

# A NUL-terminated text in a field of `size` bytes. A text that does not fit is a
# mistake in starting_values.cmake, not something to cut quietly.
function(sv_append_text record text size)
  string(LENGTH "${text}" length)
  if(NOT length LESS size)
    message(FATAL_ERROR "starting value \"${text}\" needs ${length}+1 bytes, its field has ${size}")
  endif()
  set(bytes ${${record}})
  if(length GREATER 0)
    string(HEX "${text}" hex)
    math(EXPR last "${length} - 1")
    foreach(i RANGE 0 ${last})
      math(EXPR at "${i} * 2")
      string(SUBSTRING "${hex}" ${at} 2 pair)
      math(EXPR b "0x${pair}")
      list(APPEND bytes ${b})
    endforeach()
  endif()
  math(EXPR pad "${size} - ${length}")
  foreach(i RANGE 1 ${pad})
    list(APPEND bytes 0)
  endforeach()
  set(${record} ${bytes} PARENT_SCOPE)
endfunction()

# The password field as stored: byte i is plain XOR 0x6D XOR (60 - i), so even an
# empty password has no zero bytes in the registry.
function(sv_append_scrambled_password record password)
  set(plain)
  sv_append_text(plain "${password}" 60)
  set(bytes ${${record}})
  foreach(i RANGE 0 59)
    list(GET plain ${i} p)
    math(EXPR b "${p} ^ 0x6D ^ (60 - ${i})")
    list(APPEND bytes ${b})
  endforeach()
  set(${record} ${bytes} PARENT_SCOPE)
endfunction()

function(sv_hex_string out record)
  set(digits "0123456789ABCDEF")
  set(text "")
  foreach(b ${${record}})
    math(EXPR hi "${b} >> 4")
    math(EXPR lo "${b} & 15")
    string(SUBSTRING "${digits}" ${hi} 1 h)
    string(SUBSTRING "${digits}" ${lo} 1 l)
    string(APPEND text "${h}${l}")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(sv_cpp_bytes out record)
  set(text "")
  set(n 0)
  foreach(b ${${record}})
    math(EXPR x "${b}" OUTPUT_FORMAT HEXADECIMAL)
    if(n GREATER 0)
      string(APPEND text ",")
      math(EXPR col "${n} % 12")
      if(col EQUAL 0)
        string(APPEND text "\n   ")
      endif()
    endif()
    string(APPEND text " ${x}")
    math(EXPR n "${n} + 1")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(sv_check_size record size)
  list(LENGTH ${record} n)
  if(NOT n EQUAL size)
    message(FATAL_ERROR "${record} has ${n} bytes, the stored record has ${size}")
  endif()
endfunction()

# Text for a C++ string literal and for an NSIS quoted string.
function(sv_cpp_text out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()
function(sv_nsis_text out text)
  string(REPLACE "$" "$$" text "${text}")
  string(REPLACE "\"" "$\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# --- The records -------------------------------------------------------------------
set(sv_proto_any)
sv_append_u32(sv_proto_any ${SV_PROTO_ANY_KEY})
sv_append_u32(sv_proto_any 1)
sv_append_text(sv_proto_any "${SV_PROTO_ANY_NAME}" 20)
sv_append_u32(sv_proto_any ${SV_PROTO_ANY_TRANSPORT})
sv_append_u32(sv_proto_any ${SV_PROTO_ANY_PORT})
sv_check_size(sv_proto_any 36)

set(sv_adr_any)
sv_append_u32(sv_adr_any ${SV_ADR_ANY_KEY})
sv_append_u32(sv_adr_any 1)
sv_append_u32(sv_adr_any ${SV_ADR_ANY_LOW})
sv_append_u32(sv_adr_any ${SV_ADR_ANY_HIGH})
sv_append_text(sv_adr_any "${SV_ADR_ANY_NAME}" 32)
sv_append_u32(sv_adr_any ${SV_ADR_ANY_TYPE})
sv_check_size(sv_adr_any 52)

set(sv_app_any)
sv_append_u32(sv_app_any ${SV_APP_ANY_KEY})
sv_append_u32(sv_app_any 1)
sv_append_text(sv_app_any "${SV_APP_ANY_NAME}" 30)
sv_append_text(sv_app_any "${SV_APP_ANY_DESCRIPTION}" 42)
sv_check_size(sv_app_any 80)

foreach(which INBOUND OUTBOUND)
  set(numbers ${SV_RULE_${which}})
  list(LENGTH numbers n)
  if(NOT n EQUAL 6)
    message(FATAL_ERROR "SV_RULE_${which} needs six numbers")
  endif()
  set(sv_rule_${which})
  foreach(v ${numbers})
    sv_append_u32(sv_rule_${which} ${v})
  endforeach()
  sv_check_size(sv_rule_${which} 24)
  # The value name is the rule's key text "%d,%d,%d,%d" of its first four numbers.
  list(SUBLIST numbers 0 4 keys)
  list(JOIN keys "," sv_rule_${which}_NAME)
  list(GET numbers 3 sv_rule_${which}_DIRECTION)
  list(GET numbers 4 sv_rule_${which}_ACTION)
  list(GET numbers 5 sv_rule_${which}_LOG)
endforeach()
if(NOT sv_rule_INBOUND_DIRECTION EQUAL 0 OR NOT sv_rule_OUTBOUND_DIRECTION EQUAL 1)
  message(FATAL_ERROR "the first default rule is the inbound one, the second the outbound one")
endif()
string(LENGTH "${SV_RULE_SET_NAME}" n)
if(n GREATER 39 OR n EQUAL 0)
  message(FATAL_ERROR "the rule set name must have 1 to 39 characters")
endif()

set(sv_options)
sv_append_u32(sv_options ${SV_OPT_LOCK_STATUS})
sv_append_scrambled_password(sv_options "${SV_OPT_PASSWORD}")
foreach(field RUN_MODE LOG_FULLY_ARMED LOG_STAND_BY TIMER_ACTIVE TIMER_COUNTDOWN LOG_ALLOW LOG_DENY)
  sv_append_u32(sv_options ${SV_OPT_${field}})
endforeach()
sv_check_size(sv_options 92)

# --- starting_values.nsh -------------------------------------------------------------
set(nsh "; Generated from installer/starting_values.cmake; edit that file instead.\n")
foreach(name MAKER PRODUCT VERSION SETUP_FILE UNINSTALLER INSTALL_SUBDIR MENU_FOLDER UNINSTALL_KEY_NAME
             LIBRARY EDICTOR_PROGRAM LOG_SUBDIR LOG_FILE FEEDBACK_FILE FEEDBACK_URL RULE_SET_NAME)
  sv_nsis_text(q "${SV_${name}}")
  string(APPEND nsh "!define SV_${name} ${q}\n")
endforeach()
foreach(record PROTO_ANY ADR_ANY APP_ANY)
  string(TOLOWER "sv_${record}" list_name)
  sv_hex_string(hex ${list_name})
  string(APPEND nsh "!define SV_${record}_VALUE \"${SV_${record}_KEY}\"\n!define SV_${record}_RECORD \"${hex}\"\n")
endforeach()
foreach(which INBOUND OUTBOUND)
  sv_hex_string(hex sv_rule_${which})
  string(APPEND nsh "!define SV_RULE_${which}_VALUE \"${sv_rule_${which}_NAME}\"\n!define SV_RULE_${which}_RECORD \"${hex}\"\n")
endforeach()
sv_hex_string(hex sv_options)
string(APPEND nsh "!define SV_OPTIONS_RECORD \"${hex}\"\n")

# Programs: installed and given a shortcut only when they have been built.
string(APPEND nsh "\n!macro SV_INSTALL_PROGRAMS\n")
set(sv_uninstall_programs "")
set(sv_cpp_programs "")
foreach(entry ${SV_PROGRAMS})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 file)
  list(LENGTH parts n)
  set(shortcut "")
  if(n GREATER 1)
    list(GET parts 1 shortcut)
  endif()
  string(APPEND nsh "  !if /FileExists \"\${BIN}/${file}\"\n    File \"\${BIN}/${file}\"\n")
  string(APPEND sv_uninstall_programs "  Delete \"$INSTDIR\\${file}\"\n")
  if(shortcut)
    string(APPEND nsh "    CreateShortCut \"$SMPROGRAMS\\\${SV_MENU_FOLDER}\\${shortcut}.lnk\" \"$INSTDIR\\${file}\"\n")
    string(APPEND sv_uninstall_programs "  Delete \"$SMPROGRAMS\\\${SV_MENU_FOLDER}\\${shortcut}.lnk\"\n")
  endif()
  string(APPEND nsh "  !endif\n")
  string(APPEND sv_cpp_programs "    {\"${file}\", \"${shortcut}\"},\n")
endforeach()
string(APPEND nsh "!macroend\n\n!macro SV_REMOVE_PROGRAMS\n${sv_uninstall_programs}!macroend\n")
file(CONFIGURE OUTPUT ${SV_GENERATED_DIR}/starting_values.nsh CONTENT "${nsh}" @ONLY)

# --- starting_values.h ---------------------------------------------------------------
set(h "// Generated from installer/starting_values.cmake; edit that file instead.
#ifndef TARNWALL_STARTING_VALUES_H
#define TARNWALL_STARTING_VALUES_H

#include <stdint.h>

namespace starting_values {

struct Program {
  const char* file;      // name in the install folder
  const char* shortcut;  // start-menu shortcut name without .lnk; empty: none
};
inline constexpr Program kPrograms[] = {
${sv_cpp_programs}};

struct Rule {
  const char* value_name;
  uint32_t protocol_key, address_key, app_key;
  int32_t direction, action, log;
};

")
foreach(name MAKER PRODUCT VERSION SETUP_FILE UNINSTALLER INSTALL_SUBDIR MENU_FOLDER UNINSTALL_KEY_NAME
             LIBRARY EDICTOR_PROGRAM LOG_SUBDIR LOG_FILE FEEDBACK_FILE FEEDBACK_URL RULE_SET_NAME
             PROTO_ANY_NAME ADR_ANY_NAME APP_ANY_NAME APP_ANY_DESCRIPTION OPT_PASSWORD)
  sv_cpp_text(q "${SV_${name}}")
  string(APPEND h "inline constexpr char k_${name}[] = ${q};\n")
endforeach()
string(APPEND h "\n")
foreach(name PROTO_ANY_KEY PROTO_ANY_TRANSPORT PROTO_ANY_PORT ADR_ANY_KEY ADR_ANY_LOW ADR_ANY_HIGH ADR_ANY_TYPE
             APP_ANY_KEY OPT_LOCK_STATUS OPT_RUN_MODE OPT_LOG_FULLY_ARMED OPT_LOG_STAND_BY OPT_TIMER_ACTIVE
             OPT_TIMER_COUNTDOWN OPT_LOG_ALLOW OPT_LOG_DENY)
  string(APPEND h "inline constexpr uint32_t k_${name} = ${SV_${name}};\n")
endforeach()
foreach(which INBOUND OUTBOUND)
  list(JOIN SV_RULE_${which} ", " numbers)
  string(APPEND h "inline constexpr Rule k_RULE_${which} = {\"${sv_rule_${which}_NAME}\", ${numbers}};\n")
endforeach()
string(APPEND h "\n// The stored bytes of each value.\n")
foreach(record proto_any adr_any app_any rule_INBOUND rule_OUTBOUND options)
  string(TOUPPER "${record}" upper)
  list(LENGTH sv_${record} n)
  sv_cpp_bytes(bytes sv_${record})
  string(APPEND h "inline constexpr unsigned char k_${upper}_RECORD[${n}] = {\n   ${bytes}};\n")
endforeach()
string(APPEND h "\n}  // namespace starting_values\n\n#endif\n")
file(CONFIGURE OUTPUT ${SV_GENERATED_DIR}/starting_values.h CONTENT "${h}" @ONLY)

# --- makensis ------------------------------------------------------------------------
find_program(TARNWALL_MAKENSIS makensis)
if(NOT TARNWALL_MAKENSIS)
  message(WARNING "makensis not found: no installer is built (Debian package nsis)")
  return()
endif()

# The wizard's provider and application lists with their icons, and the help file, each
# taken only when it is there. The data folder is part of the tree, not a setting: a
# cached path would outlive a move of the folder in every existing build.
set(TARNWALL_WIZARD_DATA_DIR ${CMAKE_SOURCE_DIR}/data)
set(TARNWALL_HELP_FILE ${CMAKE_SOURCE_DIR}/resources/Tarnwall.hlp CACHE FILEPATH
    "Help file installed into the Windows directory when it exists")
file(GLOB sv_wizard_data CONFIGURE_DEPENDS ${TARNWALL_WIZARD_DATA_DIR}/*)
set(sv_help_dep)
get_property(sv_help_made GLOBAL PROPERTY TARNWALL_HELP_OUTPUT)
if(sv_help_made)
  # Compiled from resources/help/Tarnwall.txt by tools/help.cmake.
  set(TARNWALL_HELP_FILE ${sv_help_made})
  set(sv_help_dep tarnwall_help ${sv_help_made})
elseif(EXISTS ${TARNWALL_HELP_FILE})
  set(sv_help_dep ${TARNWALL_HELP_FILE})
endif()

# Programs built in other folders, perhaps defined after this one: a dependency on each
# that exists when the build is generated, so the installer holds every program built.
set(sv_program_targets)
foreach(target interceptor rules wayguard edictor kindler)
  list(APPEND sv_program_targets $<$<TARGET_EXISTS:${target}>:${target}>)
endforeach()

set(sv_setup ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${SV_SETUP_FILE})
add_custom_command(
  OUTPUT ${sv_setup}
  COMMAND ${TARNWALL_MAKENSIS} -V2 -NOCD
          -DBIN=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
          -DGENERATED=${SV_GENERATED_DIR}
          -DOUTFILE=${sv_setup}
          -DWIZARD_DATA=${TARNWALL_WIZARD_DATA_DIR}
          -DHELP_FILE=${TARNWALL_HELP_FILE}
          -DPRODUCT_VERSION=${PROJECT_VERSION}
          ${CMAKE_CURRENT_LIST_DIR}/tarnwall.nsi
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/tarnwall.nsi
          ${SV_GENERATED_DIR}/starting_values.nsh
          tessary ${sv_program_targets} ${sv_wizard_data} ${sv_help_dep}
  COMMENT "Packing ${SV_SETUP_FILE}"
  VERBATIM)
add_custom_target(tarnwall_setup ALL DEPENDS ${sv_setup})
