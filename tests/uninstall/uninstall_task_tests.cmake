# The uninstall task with real uninstallers, Uninstall keys and folders; it runs uninstallers in the job the
# job-wait tests use. The software centre's starter sits beside it, as beside the component.
kx_add_test(NAME uninstall_task_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/UninstallTaskTest.cpp
  LIBS kx_component DLLS KxVStart TIMEOUT 300)
set_tests_properties(uninstall_task_tests PROPERTIES RESOURCE_LOCK KxUninst.WaitForAllProcess)
