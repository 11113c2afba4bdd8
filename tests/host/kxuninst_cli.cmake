# kxuninst.exe on its own: arguments, views, and a folder without the component.
kx_add_test(NAME host_cli
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CliTest.cpp ${CMAKE_CURRENT_LIST_DIR}/CliRun.cpp
          ${CMAKE_CURRENT_LIST_DIR}/JsonCheck.cpp
  LIBS kxuninst_cli
  DLLS kxuninst KxUninst)
