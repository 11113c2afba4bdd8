# hostile_bench.exe: writes a hostile machine into the prefix's registry and lists it through KxUninst.dll's
# exports and interfaces in child processes, in a folder laid out as an install. No Log\ folder.
set(dir "${CMAKE_BINARY_DIR}/bench/hostile")
file(MAKE_DIRECTORY "${dir}/conf")
add_executable(hostile_bench HostileBench.cpp BenchHost.cpp BenchGuids.cpp)
set_target_properties(hostile_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${dir}")
target_include_directories(hostile_bench PRIVATE ${CMAKE_SOURCE_DIR}/Common)  # ScopedHandle.h
target_link_libraries(hostile_bench PRIVATE kxhostkit ole32 oleaut32 uuid advapi32 user32)
target_link_options(hostile_bench PRIVATE -municode)
kx_copy_dlls(hostile_bench "${dir}" KxUninst kxxlog KxData Ferro80U)
if(EXISTS ${CMAKE_SOURCE_DIR}/conf/KxDataRules.txt)
  configure_file(${CMAKE_SOURCE_DIR}/conf/KxDataRules.txt ${dir}/KxDataRules.txt COPYONLY)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/conf/category.ini)
  configure_file(${CMAKE_SOURCE_DIR}/conf/category.ini ${dir}/conf/category.ini COPYONLY)
endif()
