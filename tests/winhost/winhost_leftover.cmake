# The leftover dialog's decisions without a window: the default ticks, and its words in both languages from the
# string table the window host carries (compiled into the test binary the same way).
kx_add_test(NAME winhost_leftover
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LeftoverTicksTest.cpp ${CMAKE_CURRENT_LIST_DIR}/LeftoverWordsTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/LeftoverTest.rc
  LIBS kxwin_leftover)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/LeftoverTest.rc APPEND PROPERTY OBJECT_DEPENDS
  ${CMAKE_SOURCE_DIR}/winhost/LeftoverStrings.rc ${CMAKE_SOURCE_DIR}/winhost/LeftoverStrings.h)
