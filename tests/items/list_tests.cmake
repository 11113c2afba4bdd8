kx_add_test(NAME list_tests
  SOURCES ListTestSupport.cpp ListBuildTest.cpp ListCacheTest.cpp ListTasksTest.cpp ListEndToEndTest.cpp
  LIBS kx_component kxhostkit
  DLLS KxData)
