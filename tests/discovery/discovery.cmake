kx_add_test(NAME discovery_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PathResolveTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/IdentityTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FolderFactsTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/RegEnumTest.cpp ${CMAKE_CURRENT_LIST_DIR}/DriverTest.cpp
  LIBS kx_component)
