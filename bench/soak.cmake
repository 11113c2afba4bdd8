# soak_bench.exe: a host of KxUninst.dll that uses it only through its exports and interfaces, in a folder laid
# out as an install (the component, the data component with its rules and categories, their libraries). No
# Log\ folder: 500 cycles would only fill it.
set(dir "${CMAKE_BINARY_DIR}/bench/soak")
file(MAKE_DIRECTORY "${dir}/conf")
add_executable(soak_bench SoakBench.cpp BenchHost.cpp BenchGuids.cpp)
set_target_properties(soak_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${dir}")
target_include_directories(soak_bench PRIVATE ${CMAKE_SOURCE_DIR}/Common)  # ScopedHandle.h
target_link_libraries(soak_bench PRIVATE kxhostkit ole32 oleaut32 uuid advapi32 user32)
target_link_options(soak_bench PRIVATE -municode)
kx_copy_dlls(soak_bench "${dir}" KxUninst kxxlog KxData Ferro80U)
if(EXISTS ${CMAKE_SOURCE_DIR}/conf/KxDataRules.txt)
  configure_file(${CMAKE_SOURCE_DIR}/conf/KxDataRules.txt ${dir}/KxDataRules.txt COPYONLY)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/conf/category.ini)
  configure_file(${CMAKE_SOURCE_DIR}/conf/category.ini ${dir}/conf/category.ini COPYONLY)
endif()
