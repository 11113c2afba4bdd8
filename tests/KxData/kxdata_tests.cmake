# KxData.dll on its own, loaded through LoadLibrary + DllGetClassObject.
set(kxdata_test_sources KxDataTest.cpp KxDataTestKit.cpp)
if(NOT EXISTS ${CMAKE_SOURCE_DIR}/items/Serializer.cpp)
  list(APPEND kxdata_test_sources ${CMAKE_SOURCE_DIR}/KxData/RecordStopgap.cpp)
endif()
kx_add_test(NAME kxdata_tests SOURCES ${kxdata_test_sources} DLLS KxData)
target_include_directories(kxdata_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include
  ${CMAKE_SOURCE_DIR}/items ${CMAKE_SOURCE_DIR}/Common)
if(EXISTS ${CMAKE_SOURCE_DIR}/items/Serializer.cpp)
  target_link_libraries(kxdata_tests PRIVATE kxuninst_core)
endif()
# The shipped data, to check it against itself.
add_custom_command(TARGET kxdata_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/tests/kxdata_tests/shipped"
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/conf/KxDataRules.txt
          ${CMAKE_SOURCE_DIR}/conf/category.ini "${CMAKE_BINARY_DIR}/tests/kxdata_tests/shipped/")
