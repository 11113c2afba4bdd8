# A test tool, not a ctest: uninstalls a program and opens the leftover dialog on what it leaves behind, to look at
# and drive the dialog under a real X display on a throwaway copy of the sample machine (LeftoverDriver.cpp). In a
# folder of its own with the install layout the component expects.
set(KX_LEFTOVER_DRIVER_DIR "${CMAKE_BINARY_DIR}/tests/winhost_leftover_driver")
file(MAKE_DIRECTORY "${KX_LEFTOVER_DRIVER_DIR}/Log")
add_executable(kxw_leftover_driver ${CMAKE_CURRENT_LIST_DIR}/LeftoverDriver.cpp ${CMAKE_CURRENT_LIST_DIR}/LeftoverTest.rc
               ${CMAKE_SOURCE_DIR}/tests/support/SandboxedPrefix.cpp)
target_include_directories(kxw_leftover_driver PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
set_target_properties(kxw_leftover_driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${KX_LEFTOVER_DRIVER_DIR}")
target_link_options(kxw_leftover_driver PRIVATE -municode)
target_link_libraries(kxw_leftover_driver PRIVATE kxwin_leftover windowscodecs ole32)
kx_copy_dlls(kxw_leftover_driver "${KX_LEFTOVER_DRIVER_DIR}" kxxlog Ferro80U KxData KxUninst KxVStart)
configure_file(${CMAKE_SOURCE_DIR}/conf/KxDataRules.txt ${KX_LEFTOVER_DRIVER_DIR}/KxDataRules.txt COPYONLY)
configure_file(${CMAKE_SOURCE_DIR}/conf/category.ini ${KX_LEFTOVER_DRIVER_DIR}/conf/category.ini COPYONLY)
