# Adds rules to the installed store the way the setup wizard will: through its
# three entry points, bound by name at run time. It also joins the lists itself,
# to tell a new rule from one whose action it changed.
add_executable(add_rules add_rules.cpp)
target_link_libraries(add_rules PRIVATE tessary)
