# The main job's script refuses a prefix that is not there before it sets up or builds anything.
add_test(NAME host_run_missing_prefix
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/run --prefix ${CMAKE_BINARY_DIR}/no-such-prefix list)
set_tests_properties(host_run_missing_prefix PROPERTIES
  WILL_FAIL FALSE PASS_REGULAR_EXPRESSION "run: no Wine prefix at .*no-such-prefix" TIMEOUT 30)
