# The job wait, with real processes and jobs. Its cases run one after another: they share the job's name.
kx_add_test(NAME jobwait_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/JobWaitTest.cpp
  LIBS kx_uninstall
  TIMEOUT 240)
# Tests of other binaries that run uninstallers would share the job's name with it.
set_tests_properties(jobwait_tests PROPERTIES RESOURCE_LOCK KxUninst.WaitForAllProcess)
