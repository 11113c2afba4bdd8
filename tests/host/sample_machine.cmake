# kxuninst.exe on the sample machine. The prefix is set up once by scripts/sample-machine (a fixture: it builds
# and installs the sample programs on first use, which takes minutes), the test binary runs inside it, and the
# prefix's wineserver is stopped afterwards.
set(KX_SAMPLE_PREFIX "${CMAKE_BINARY_DIR}/sample-machine")
set(KX_SAMPLE_TEST_DIR "${CMAKE_BINARY_DIR}/tests/host_sample_machine")

add_executable(host_sample_machine
  ${CMAKE_CURRENT_LIST_DIR}/SampleMachineTest.cpp ${CMAKE_CURRENT_LIST_DIR}/CliRun.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Golden.cpp)
set_target_properties(host_sample_machine PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${KX_SAMPLE_TEST_DIR}")
target_link_libraries(host_sample_machine PRIVATE kxtest_support kxuninst_cli)
add_dependencies(host_sample_machine kxuninst)

add_test(NAME host_sample_machine_setup
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/sample-machine --prefix ${KX_SAMPLE_PREFIX} --layout ${KX_BIN_DIR})
set_tests_properties(host_sample_machine_setup PROPERTIES FIXTURES_SETUP kx_sample_machine TIMEOUT 900)

add_test(NAME host_sample_machine
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-harness --prefix ${KX_SAMPLE_PREFIX} run
          $<TARGET_FILE:host_sample_machine>
  WORKING_DIRECTORY "${KX_SAMPLE_TEST_DIR}")
set_tests_properties(host_sample_machine PROPERTIES
  FIXTURES_REQUIRED kx_sample_machine TIMEOUT 600
  ENVIRONMENT "KXTEST_BIN_DIR=${KX_BIN_DIR};KXTEST_GOLDEN_DIR=${CMAKE_CURRENT_LIST_DIR}/golden")

# Without a display and without Wine's null graphics driver the CLI gives up within seconds and says what helps;
# on a private copy of the sample machine, whose driver setting the test removes.
add_test(NAME host_no_display
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/no_display_test.sh ${KX_SAMPLE_PREFIX} ${KX_BIN_DIR}
          ${CMAKE_BINARY_DIR}/tests/host_no_display)
set_tests_properties(host_no_display PROPERTIES FIXTURES_REQUIRED kx_sample_machine TIMEOUT 300)

add_test(NAME host_sample_machine_stop
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-harness --prefix ${KX_SAMPLE_PREFIX} stop)
set_tests_properties(host_sample_machine_stop PROPERTIES FIXTURES_CLEANUP kx_sample_machine)
