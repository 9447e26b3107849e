# Keeps the Wine session's desktop open for the scripts' whole session (see the source).
add_executable(desktop_anchor desktop_anchor.cpp)
