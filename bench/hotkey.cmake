# Cost of binding the global hot keys at start; needs an X server:
#   xvfb-run -a -s "-screen 0 1280x1024x24" tavril-bench-hotkey
add_executable(tavril-bench-hotkey ${CMAKE_CURRENT_LIST_DIR}/HotkeyBench.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchSupport.h
    ${CMAKE_CURRENT_LIST_DIR}/BenchSupport.cpp)
target_include_directories(tavril-bench-hotkey PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tavril-bench-hotkey PRIVATE tavril_hotkey)
