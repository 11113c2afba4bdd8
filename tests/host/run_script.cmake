# scripts/run's options in any position, and the prefixes it refuses before it sets up or builds anything.
add_test(NAME host_run_script
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_script_test.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/tests/host_run_script)
set_tests_properties(host_run_script PROPERTIES TIMEOUT 120)
