# The rule tasks and the object's life against the real KxData.dll beside the binary, and in an install without it.
kx_add_test(NAME rules_tests
  SOURCES RulesTasksTest.cpp RulesFlowTest.cpp LifetimeTest.cpp ComponentTestUtil.cpp
  LIBS kx_component DLLS KxData)
kx_add_test(NAME rules_nodll_tests SOURCES RulesNoDllTest.cpp LIBS kx_component)
