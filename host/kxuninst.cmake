# kxuninst.exe: the command-line host. It loads KxUninst.dll from its own folder like any host, so it is built
# into the install layout beside the DLLs. It reads the records through their own classes.

# The CLI's own code, shared with its tests.
add_library(kxuninst_cli STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CliArgs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CliOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ListRender.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComponentHost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CacheProbe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Activity.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CliGuids.cpp)
target_include_directories(kxuninst_cli PUBLIC
  ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/Common)
target_link_libraries(kxuninst_cli PUBLIC kx_records ole32 oleaut32 uuid user32 shell32 advapi32)

add_executable(kxuninst ${CMAKE_CURRENT_LIST_DIR}/KxUninstMain.cpp)
target_link_libraries(kxuninst PRIVATE kxuninst_cli)
set_target_properties(kxuninst PROPERTIES OUTPUT_NAME kxuninst RUNTIME_OUTPUT_DIRECTORY "${KX_BIN_DIR}")
# Building the host builds the layout it runs in.
add_dependencies(kxuninst kxxlog Ferro80U KxData KxUninst)
