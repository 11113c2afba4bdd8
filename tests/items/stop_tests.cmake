kx_add_test(NAME stop_tests
  SOURCES ListTestSupport.cpp StopTest.cpp
  LIBS kx_component kxhostkit)
