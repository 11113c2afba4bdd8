# kxuninst uninstall end to end on private copies of the sample machine (tests/host/uninstall_test.sh). They run
# uninstallers, so they take the job wait's lock like every test that does.
# Ctrl-C reaches a console program as a console control event: this helper gives kxuninst a console and sends it.
add_executable(uninstall_ctrlc ${CMAKE_CURRENT_LIST_DIR}/CtrlCRun.cpp)
target_link_libraries(uninstall_ctrlc PRIVATE kxuninst_cli)
set_target_properties(uninstall_ctrlc PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests/host_uninstall")
add_dependencies(uninstall_ctrlc kxuninst)

foreach(case nsis sweep sweepnone sweeplist softcentre msi ctrlc)
  add_test(NAME host_uninstall_${case}
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/uninstall_test.sh ${case} ${KX_SAMPLE_PREFIX} ${KX_BIN_DIR}
            ${CMAKE_BINARY_DIR}/tests/host_uninstall_${case} $<TARGET_FILE:uninstall_ctrlc>)
  set_tests_properties(host_uninstall_${case} PROPERTIES
    FIXTURES_REQUIRED kx_sample_machine TIMEOUT 600 RESOURCE_LOCK KxUninst.WaitForAllProcess)
endforeach()
