# kxuninst.exe on its own: arguments, views (golden files in golden/), and folders without the component.
kx_add_test(NAME host_cli
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CliTest.cpp ${CMAKE_CURRENT_LIST_DIR}/UninstallCliTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/CliRun.cpp
          ${CMAKE_CURRENT_LIST_DIR}/Golden.cpp
  LIBS kxuninst_cli
  DLLS kxuninst KxUninst)
target_include_directories(host_cli PRIVATE ${CMAKE_BINARY_DIR}/host)
set_tests_properties(host_cli PROPERTIES ENVIRONMENT "KXTEST_GOLDEN_DIR=${CMAKE_CURRENT_LIST_DIR}/golden")
