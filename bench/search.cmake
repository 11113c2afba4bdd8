# The name search over a 10,000-program list: pinyin and substring passes, timed in one run.
set(dir "${CMAKE_BINARY_DIR}/bench/search")
file(MAKE_DIRECTORY "${dir}/Log" "${dir}/conf")
add_executable(search_bench SearchBench.cpp)
set_target_properties(search_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${dir}")
target_link_libraries(search_bench PRIVATE kx_component)
kx_copy_dlls(search_bench "${dir}" kxxlog Ferro80U)
