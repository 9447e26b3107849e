# Adds rules to the installed store the way the setup wizard will: through its
# three entry points, bound by name at run time.
add_executable(add_rules add_rules.cpp)
add_dependencies(add_rules tessary)
target_include_directories(add_rules PRIVATE ${PROJECT_SOURCE_DIR}/store)
