# The harness's sandbox, checked from inside the prefix it made.
kx_add_test(NAME prefix_sandbox SOURCES ${CMAKE_CURRENT_LIST_DIR}/SandboxTest.cpp)
