# rules.exe: backs up the active rule set to a text file and brings it back. The
# file reader has no system calls, so the tests and the fuzz target
# (tools/rules_fuzz) build it on its own.
add_library(rules_format STATIC rules_format.cpp)
target_include_directories(rules_format PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

add_library(rules_store STATIC rules_store.cpp)
target_link_libraries(rules_store PUBLIC rules_format tessary advapi32)

add_executable(rules rules_main.cpp)
target_link_libraries(rules PRIVATE rules_store)
