target_sources(list_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/StopTest.cpp)
