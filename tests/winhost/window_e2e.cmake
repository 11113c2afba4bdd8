# The window host end to end under a virtual X server with Wine's X11 driver, read and driven from another
# process by kxwinprobe, each case on a private copy of the sample machine (window_test.sh). The cases that
# uninstall take the job wait's lock like every test that runs uninstallers; every test that starts a virtual X
# server takes KxXvfb, since two xvfb-run -a started at once can pick the same display.
foreach(case list uninstall sweep)
  add_test(NAME winhost_window_${case}
    COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" ${CMAKE_CURRENT_LIST_DIR}/window_test.sh ${case}
            ${CMAKE_BINARY_DIR}/sample-machine ${KX_BIN_DIR} $<TARGET_FILE:kxwinprobe>
            ${CMAKE_BINARY_DIR}/tests/winhost_window_${case} ${CMAKE_BINARY_DIR}/screenshots/tests/${case})
  set_tests_properties(winhost_window_${case} PROPERTIES FIXTURES_REQUIRED kx_sample_machine TIMEOUT 900
    RESOURCE_LOCK KxXvfb)
endforeach()
set_tests_properties(winhost_window_uninstall winhost_window_sweep PROPERTIES
  RESOURCE_LOCK "KxXvfb;KxUninst.WaitForAllProcess")
