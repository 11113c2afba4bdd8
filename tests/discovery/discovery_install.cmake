# Real installers, built on the build machine (makensis and wixl are Linux tools) into the test's folder, and
# installed into the Wine prefix by the test itself.
set(kx_inst_dir "${CMAKE_BINARY_DIR}/tests/discovery_install_tests")
set(kx_inst_data "${CMAKE_CURRENT_LIST_DIR}/data")
file(MAKE_DIRECTORY "${kx_inst_dir}")
add_custom_command(OUTPUT "${kx_inst_dir}/KxTestNsisSetup.exe"
  COMMAND makensis -V2 "-DOUTFILE=${kx_inst_dir}/KxTestNsisSetup.exe" "-DPAYLOAD=${kx_inst_data}/payload.txt"
          "${kx_inst_data}/KxTestNsis.nsi"
  DEPENDS "${kx_inst_data}/KxTestNsis.nsi" "${kx_inst_data}/payload.txt" VERBATIM)
add_custom_command(OUTPUT "${kx_inst_dir}/KxTestMsi.msi"
  COMMAND wixl -a x64 -o "${kx_inst_dir}/KxTestMsi.msi" "${kx_inst_data}/KxTestMsi.wxs"
  WORKING_DIRECTORY "${kx_inst_data}"
  DEPENDS "${kx_inst_data}/KxTestMsi.wxs" "${kx_inst_data}/payload.txt" VERBATIM)
add_custom_target(discovery_installers DEPENDS "${kx_inst_dir}/KxTestNsisSetup.exe" "${kx_inst_dir}/KxTestMsi.msi")

kx_add_test(NAME discovery_install_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RealInstallTest.cpp
  LIBS kx_component TIMEOUT 240)
add_dependencies(discovery_install_tests discovery_installers)
