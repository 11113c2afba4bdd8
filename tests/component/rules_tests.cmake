# The rule tasks against the real KxData.dll beside the binary, and in an install without it.
kx_add_test(NAME rules_tests
  SOURCES RulesTasksTest.cpp RulesFlowTest.cpp ${CMAKE_SOURCE_DIR}/tests/KxData/KxDataTestKit.cpp
  LIBS kx_component DLLS KxData)
target_include_directories(rules_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/KxData)
add_custom_command(TARGET rules_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/tests/rules_tests/shipped"
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/conf/KxDataRules.txt
          "${CMAKE_BINARY_DIR}/tests/rules_tests/shipped/")

kx_add_test(NAME rules_nodll_tests SOURCES RulesNoDllTest.cpp LIBS kx_component)
