# Answers the monitor's connection prompt by window messages, for the main job's showing.
add_executable(prompt_ctl prompt_ctl.cpp)
target_link_libraries(prompt_ctl PRIVATE winui)
target_include_directories(prompt_ctl PRIVATE ${PROJECT_SOURCE_DIR}/resources)
