kx_add_test(NAME search_tests SOURCES SearchTest.cpp LIBS kxuninst_core DLLS Ferro80U)
