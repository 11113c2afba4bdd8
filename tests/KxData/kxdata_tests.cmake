# KxData.dll on its own, loaded through LoadLibrary + DllGetClassObject. The records are read back with the
# component's own code.
kx_add_test(NAME kxdata_tests SOURCES KxDataTest.cpp LIBS kx_component DLLS KxData)
# The shipped data, to check it against itself.
add_custom_command(TARGET kxdata_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/tests/kxdata_tests/shipped"
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/conf/KxDataRules.txt
          ${CMAKE_SOURCE_DIR}/conf/category.ini "${CMAKE_BINARY_DIR}/tests/kxdata_tests/shipped/")
