# sweep_bench.exe: run by bench/sweep.sh, beside its own Log\ like an installed component. It deletes files and
# registry values, so it checks the prefix with the tests' own check.
set(kx_bench_dir "${CMAKE_BINARY_DIR}/bench/sweep")
file(MAKE_DIRECTORY "${kx_bench_dir}/Log" "${kx_bench_dir}/conf")
add_executable(sweep_bench ${CMAKE_CURRENT_LIST_DIR}/SweepBench.cpp ${CMAKE_SOURCE_DIR}/tests/support/SandboxedPrefix.cpp)
target_include_directories(sweep_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
set_target_properties(sweep_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${kx_bench_dir}")
target_link_libraries(sweep_bench PRIVATE kx_component)
target_link_options(sweep_bench PRIVATE -municode)
kx_copy_dlls(sweep_bench "${kx_bench_dir}" kxxlog Ferro80U)
