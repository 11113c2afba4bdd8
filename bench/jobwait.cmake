# jobwait_bench.exe: run by bench/jobwait.sh, beside its own Log\ like an installed component.
set(kx_bench_dir "${CMAKE_BINARY_DIR}/bench/jobwait")
file(MAKE_DIRECTORY "${kx_bench_dir}/Log" "${kx_bench_dir}/conf")
add_executable(jobwait_bench ${CMAKE_CURRENT_LIST_DIR}/JobWaitBench.cpp)
set_target_properties(jobwait_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${kx_bench_dir}")
target_link_libraries(jobwait_bench PRIVATE kx_uninstall)
target_link_options(jobwait_bench PRIVATE -municode)
kx_copy_dlls(jobwait_bench "${kx_bench_dir}" kxxlog Ferro80U)
