# discovery_bench.exe: run by bench/discovery.sh, beside its own Log\ like an installed component.
set(kx_bench_dir "${CMAKE_BINARY_DIR}/bench/discovery")
file(MAKE_DIRECTORY "${kx_bench_dir}/Log" "${kx_bench_dir}/conf")
add_executable(discovery_bench ${CMAKE_CURRENT_LIST_DIR}/DiscoveryBench.cpp)
set_target_properties(discovery_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${kx_bench_dir}")
target_link_libraries(discovery_bench PRIVATE kxuninst_core)
target_link_options(discovery_bench PRIVATE -municode)
add_custom_command(TARGET discovery_bench POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:kxxlog> $<TARGET_FILE:Ferro80U> "${kx_bench_dir}/")
