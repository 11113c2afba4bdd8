# The list benchmark's driver, in a folder of its own with the install layout the component expects
# (KxData.dll and kxxlog.dll beside it). No Log\ folder: logging costs
# nothing in the timed runs.
set(KX_LIST_BENCH_DIR "${CMAKE_BINARY_DIR}/bench/list")
# It deletes files, so it checks the prefix with the tests' own check.
add_executable(list_bench list_bench.cpp ${CMAKE_SOURCE_DIR}/tests/support/SandboxedPrefix.cpp)
target_include_directories(list_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
set_target_properties(list_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${KX_LIST_BENCH_DIR}")
target_link_options(list_bench PRIVATE -municode)
target_link_libraries(list_bench PRIVATE kx_component)
kx_copy_dlls(list_bench "${KX_LIST_BENCH_DIR}" kxxlog KxData Ferro80U)
# The shipped rules and categories, so that the list is joined as in a real install.
if(EXISTS ${CMAKE_SOURCE_DIR}/conf/KxDataRules.txt)
  configure_file(${CMAKE_SOURCE_DIR}/conf/KxDataRules.txt ${KX_LIST_BENCH_DIR}/KxDataRules.txt COPYONLY)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/conf/category.ini)
  configure_file(${CMAKE_SOURCE_DIR}/conf/category.ini ${KX_LIST_BENCH_DIR}/conf/category.ini COPYONLY)
endif()
