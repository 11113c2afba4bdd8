# What the window shows, decided without a window: its string tables (the binary carries the window's own
# resource script), the cells and orders of the program list, the states' words, icon locations, the status texts.
kx_add_test(NAME winhost_plain
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WinHostTextTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ProgramColumnsTest.cpp
          ${CMAKE_SOURCE_DIR}/winhost/kxuninstw.rc
  LIBS kxwin)
target_include_directories(winhost_plain PRIVATE ${KXW_ICON_DIR})
set_property(SOURCE ${CMAKE_SOURCE_DIR}/winhost/kxuninstw.rc APPEND PROPERTY OBJECT_DEPENDS ${KXW_ICON_DIR}/kxuninstw.ico)
