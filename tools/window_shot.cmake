# Waits for a window by its title and pictures it once painted, for the main job's scripts.
add_executable(window_shot window_shot.cpp)
target_link_libraries(window_shot PRIVATE winui)
