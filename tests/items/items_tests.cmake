kx_add_test(NAME items_tests
  SOURCES SerializerTest.cpp RecordsTest.cpp ListStoreTest.cpp
  LIBS kxuninst_core)
kx_add_test(NAME items_fuzz
  SOURCES FuzzTest.cpp
  LIBS kxuninst_core)
