# discovery_bench.exe: run by bench/discovery.sh, beside its own Log\ like an installed component.
set(kx_bench_dir "${CMAKE_BINARY_DIR}/bench/discovery")
file(MAKE_DIRECTORY "${kx_bench_dir}/Log" "${kx_bench_dir}/conf")
add_executable(discovery_bench ${CMAKE_CURRENT_LIST_DIR}/DiscoveryBench.cpp)
set_target_properties(discovery_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${kx_bench_dir}")
target_link_libraries(discovery_bench PRIVATE kx_component)
target_link_options(discovery_bench PRIVATE -municode)
kx_copy_dlls(discovery_bench "${kx_bench_dir}" kxxlog Ferro80U)
