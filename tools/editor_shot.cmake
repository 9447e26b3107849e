# The main job's look at a running Edictor: what it shows, and a picture of it.
add_executable(editor_shot editor_shot.cpp)
target_link_libraries(editor_shot PRIVATE tessary winui)
