# The forced sweep on real files, shortcuts and registry entries of the sandboxed prefix, into its Recycle Bin.
kx_add_test(NAME power_sweep_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PowerSweepTest.cpp
  LIBS kx_component TIMEOUT 300)
# Folder links for the sweep to walk around, made from the Linux side.
set_tests_properties(power_sweep_tests PROPERTIES FIXTURES_REQUIRED dust_links)
