kx_add_test(NAME items_tests
  SOURCES SerializerTest.cpp RecordsTest.cpp ListStoreTest.cpp
  LIBS kx_component)
