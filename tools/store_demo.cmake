# A short walk through the rule store, printed for people to read.
add_executable(store_demo store_demo.cpp)
target_link_libraries(store_demo PRIVATE tessary ws2_32)
