# dustman_bench.exe: run by bench/dustman.sh, beside its own Log\ like an installed component.
set(kx_bench_dir "${CMAKE_BINARY_DIR}/bench/dustman")
file(MAKE_DIRECTORY "${kx_bench_dir}/Log" "${kx_bench_dir}/conf")
add_executable(dustman_bench ${CMAKE_CURRENT_LIST_DIR}/DustmanBench.cpp)
set_target_properties(dustman_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${kx_bench_dir}")
target_link_libraries(dustman_bench PRIVATE kx_uninstall)
target_link_options(dustman_bench PRIVATE -municode)
kx_copy_dlls(dustman_bench "${kx_bench_dir}" kxxlog Ferro80U)
