# The name search over a 10,000-program list: pinyin and substring passes, timed in one run.
set(dir "${CMAKE_BINARY_DIR}/bench/search")
file(MAKE_DIRECTORY "${dir}/Log" "${dir}/conf")
add_executable(search_bench SearchBench.cpp)
set_target_properties(search_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${dir}")
target_link_libraries(search_bench PRIVATE kxuninst_core)
foreach(dll kxxlog Ferro80U)
  add_custom_command(TARGET search_bench POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${dll}> "${dir}/")
endforeach()
