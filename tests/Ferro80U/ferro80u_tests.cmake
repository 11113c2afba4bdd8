kx_add_test(NAME ferro80u_tests SOURCES MatchByPYTest.cpp LIBS Ferro80U DLLS Ferro80U)
