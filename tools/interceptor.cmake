# The stand-in connection interceptor: a console program over a library of its
# parts, which the tests and the mailbox benchmark link as well.
add_library(interceptor_core STATIC attempt_parse.cpp interceptor_core.cpp interceptor_explain.cpp interceptor_courier.cpp
            interceptor_session.cpp interceptor_asker.cpp)
target_include_directories(interceptor_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(interceptor_core PUBLIC tessary user32)

add_executable(interceptor interceptor_main.cpp)
target_link_libraries(interceptor PRIVATE interceptor_core)
