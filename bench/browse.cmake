add_executable(tavril-bench-browse BrowseBench.cpp)
target_link_libraries(tavril-bench-browse PRIVATE tavril_browse_dialogs tavril_bench_support Qt5::Test)
add_executable(tavril-bench-find FindOpenBench.cpp)
target_link_libraries(tavril-bench-find PRIVATE tavril_browse_dialogs tavril_bench_support Qt5::Test)
