# The forced sweep on real files, shortcuts and registry entries of the sandboxed prefix, into its Recycle Bin.
kx_add_test(NAME power_sweep_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PowerSweepTest.cpp
  LIBS kx_component TIMEOUT 300)
