# kxuninst.exe: the command-line host. It loads KxUninst.dll from its own folder like any host, so it is built
# into the install layout beside the DLLs.

# The usage text is one file, shown by kxuninst --help and by scripts/run --help.
set(KX_CLI_USAGE_FILE ${CMAKE_CURRENT_LIST_DIR}/kxuninst-usage.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KX_CLI_USAGE_FILE})
file(READ ${KX_CLI_USAGE_FILE} KX_CLI_USAGE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/CliUsage.inc.in ${CMAKE_CURRENT_BINARY_DIR}/CliUsage.inc @ONLY)

# The CLI's own code, shared with its tests.
add_library(kxuninst_cli STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CliArgs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CliCategories.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CliOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CliSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Activity.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgressBar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SweepRun.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TerminalPrompt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UninstallFlow.cpp)
target_include_directories(kxuninst_cli PUBLIC ${CMAKE_CURRENT_LIST_DIR} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(kxuninst_cli PUBLIC kxhost)

add_executable(kxuninst ${CMAKE_CURRENT_LIST_DIR}/KxUninstMain.cpp)
target_link_libraries(kxuninst PRIVATE kxuninst_cli)
set_target_properties(kxuninst PROPERTIES OUTPUT_NAME kxuninst RUNTIME_OUTPUT_DIRECTORY "${KX_BIN_DIR}")
# Building the host builds the layout it runs in.
add_dependencies(kxuninst kxxlog Ferro80U KxData KxUninst KxVStart)
