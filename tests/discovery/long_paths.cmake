target_sources(discovery_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/LongPathListingTest.cpp)
