kx_add_test(NAME search_tests SOURCES SearchTest.cpp LIBS kx_component DLLS Ferro80U)
