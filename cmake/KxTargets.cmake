# kx_copy_dlls(<target> <dir> <dll targets...>): keeps copies of the DLLs beside <target>. The copies are
# refreshed on every build, not only when <target> relinks: a rebuilt DLL must never leave a stale copy.
function(kx_copy_dlls target dir)
  set(copies)
  foreach(dll ${ARGN})
    list(APPEND copies $<TARGET_FILE:${dll}>)
  endforeach()
  add_custom_target(${target}_dlls ALL
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${copies} "${dir}/"
    DEPENDS ${ARGN})
  add_dependencies(${target} ${target}_dlls)
endfunction()

# kx_add_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [DLLS <dll targets...>] [TIMEOUT <s>])
#
# Every test binary lives in a folder of its own that looks like an install: the component finds its log
# folder, its configuration and KxData.dll beside the executable, so each binary gets its own Log\ and conf\
# and copies of the DLLs it loads.
function(kx_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;DLLS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(dir "${CMAKE_BINARY_DIR}/tests/${T_NAME}")
  file(MAKE_DIRECTORY "${dir}/Log" "${dir}/conf")
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${dir}")
  target_link_libraries(${T_NAME} PRIVATE kxtest_support ${T_LIBS})
  # The component's code imports Ferro80U.DLL at load time.
  if(("kx_component" IN_LIST T_LIBS OR "KxUninst" IN_LIST T_DLLS) AND NOT "Ferro80U" IN_LIST T_DLLS)
    list(APPEND T_DLLS Ferro80U)
  endif()
  kx_copy_dlls(${T_NAME} "${dir}" kxxlog ${T_DLLS})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY "${dir}")
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# Windows libraries the component and its stand-ins use.
set(KX_WIN_LIBS ole32 oleaut32 uuid shlwapi advapi32 user32 shell32 rpcrt4 version)
